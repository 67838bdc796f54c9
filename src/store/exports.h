#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "jobs/shop/shop_crawl.h"
#include "store/check_history.h"
#include "store/ranking_history.h"
#include "table/result_table.h"

// The tables the windows and tarvisk-cli export as CSV files (see store/csv.h for how cells are written):
// checks (of a run, a batch or the history), a ranking result table, ranking runs, a shop listing.

namespace tarvisk {

/// The header of a table of checks: 查询时间, 账号, every fact by its label (FactFields()), 名单, 备注, 上次查询时间,
/// 上次结论, 说明.
std::string ChecksCsvHeader();
/// One check as a record of that table: times in local time as "2024-05-01 14:03:22", facts as the windows show
/// them (是/否, 个人认证, 买家 ...), user ids as ids, the list as 黑名单 or 白名单, and what could not be read as
/// 名单状态未知 or 上次查询未知.
std::string ChecksCsvRecord(const CheckRow& row);
/// The checks as a whole table (with the byte-order mark).
std::string ChecksCsv(const std::vector<CheckRow>& rows);

/// A result table with its column titles as the header (in Chinese where the window's are not: No. is 序号, id is
/// 宝贝ID); the column titled `idColumn` holds ids. The `leading` columns (title, value) come first, the same value
/// on every row (the walk's keyword and time).
std::string ResultTableCsv(const ResultTable& table, std::u16string_view idColumn,
                           std::span<const std::pair<std::u16string, std::u16string>> leading = {});

/// Ranking runs with the header 查询时间, 关键字, 目标类型 (宝贝 or 店铺), 目标, 结果 (as RankingOutcomeText writes
/// it), 页, 行, 列, 名次, 宝贝ID, 宝贝标题, 要查页数, 已查页数, 未读页 ("第3页：淘宝要求登录", several separated by
/// "；"). Found-only cells are empty for the other runs, 行 and 列 for runs of today's page (its place is in 结果);
/// times in local time; ids as ids.
std::string RankingRunsCsv(const std::vector<RankingRun>& runs);

/// The competitors of a run of `kind` (CompetitorView) with the header 名次 (1, 2, … in their order), 页, 位置 (as
/// the walk showed it), 宝贝ID, 宝贝标题, 店铺, 价格, 销量, 广告 (是 or empty), 变化 (CompetitorChangeText), 原销量,
/// 原价格 (of the run compared with; empty for a new one); ids as ids.
std::string CompetitorsCsv(const std::vector<Competitor>& competitors, RankingPositionKind kind);

/// A shop listing with the header 宝贝ID, 宝贝标题.
std::string ShopListingCsv(const std::vector<ShopItem>& items);

/// Writes an exported table to `file`, replacing it whole; a new file gets the mode the user's umask gives. False
/// when it cannot be written.
bool WriteCsvFile(const std::filesystem::path& file, const std::string& bytes);

} // namespace tarvisk
