#!/usr/bin/env bash
# Makes the fuzz programs' seed corpora (fuzz/corpus/<program>/) from the demo marketplace: starts
# tarvisk-demo-market on a free local port, saves its pages with curl, cuts the filler out of the big
# search pages so the seeds stay small, and packs the pieces into each program's input layout
# (pieces separated by one NUL byte, see the comment at the top of each fuzz/*_fuzz.cpp).
#
# usage: scripts/fuzz_corpus.sh [path/to/tarvisk-demo-market]
set -euo pipefail
cd "$(dirname "$0")/.."

market=${1:-}
if [[ -z "$market" ]]; then
    for candidate in build/release build/debug build/rel build/asan; do
        if [[ -x "$candidate/src/demo/tarvisk-demo-market" ]]; then
            market="$candidate/src/demo/tarvisk-demo-market"
            break
        fi
    done
fi
if [[ -z "$market" || ! -x "$market" ]]; then
    echo "fuzz_corpus.sh: build tarvisk-demo-market first (cmake --build --preset default)" >&2
    exit 1
fi

work=$(mktemp -d)
log="$work/market.log"
"$market" --port 0 --test-pages >"$log" 2>&1 &
market_pid=$!
trap 'kill "$market_pid" 2>/dev/null; wait "$market_pid" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    grep -q "listening on" "$log" && break
    sleep 0.1
done
route=$(sed -n 's/^listening on //p' "$log")
[[ -n "$route" ]] || { echo "fuzz_corpus.sh: the demo marketplace did not start" >&2; exit 1; }

# Every host is routed to the local server; the URL and the Host header stay as the program sends them.
fetch() { curl -s --max-time 10 --connect-to "::$route" -b "$work/cookies" -c "$work/cookies" "$@"; }
gbk_escape() { printf '%s' "$1" | iconv -f UTF-8 -t GBK | xxd -p | tr -d '\n' | sed 's/../%&/g'; }
# The big search pages carry ~340 KB of style filler around their item data.
without_filler() { perl -0pe 's{<style>.*?</style>}{<style></style>}sg'; }

corpus=fuzz/corpus
# The seeds are made anew; the inputs kept from long runs (corpus/<program>/kept/) stay.
find "$corpus" -mindepth 2 -maxdepth 2 -type f -delete 2>/dev/null || true
for program in fuzz/*_fuzz.cpp; do
    mkdir -p "$corpus/$(basename "$program" .cpp)"
done
# put PROGRAM NAME [PIECE...]: one seed made of the pieces, NUL between them.
put() {
    local program=$1 name=$2
    shift 2
    local out="$corpus/$program/$name" first=1
    : >"$out"
    for piece in "$@"; do
        [[ $first -eq 1 ]] || printf '\0' >>"$out"
        first=0
        cat "$piece" >>"$out"
    done
}
# text NAME TEXT: a piece holding TEXT. with_byte HEX FILE: a piece of one byte followed by FILE.
text() { printf '%s' "$2" >"$work/$1"; echo "$work/$1"; }
with_byte() {
    local out
    out=$(mktemp -p "$work")
    printf "\\x$1" >"$out"
    cat "$2" >>"$out"
    echo "$out"
}

# --- reputation: profile and rating page of every demo account, logged in -----------------------
fetch -o /dev/null -d "TPL_username=tarvisk_demo&TPL_password=demo1234" "http://login.taobao.com/member/login.jhtml"
accounts=(小白新号 三十天整 卡线买家 老实买家 demo_buyer 刷单小号 月度大户 小本卖家 皇冠旗舰店 盘点中的店 被封账号 资料残缺)
n=0
for account in "${accounts[@]}"; do
    n=$((n + 1))
    fetch -o "$work/profile$n" "http://member1.taobao.com/member/userProfile.jhtml?asker=wangwang&userID=$(gbk_escape "$account")"
    id=$(grep -ao '[A-Za-z0-9_]\{32\}' "$work/profile$n" | head -n 1 || true)
    : >"$work/rating$n"
    [[ -z "$id" ]] || fetch -o "$work/rating$n" "http://rate.taobao.com/user-rate-$id.htm"
    put reputation_fuzz "account$n" "$work/profile$n" "$work/rating$n"
done
put reputation_fuzz not-logged-in "$(text empty '')" "$(text empty '')"
cp "$corpus/reputation_fuzz/account4" "$work/page-profile"
fetch -D "$work/headers-gbk" -o "$work/page-rating" "http://rate.taobao.com/user-rate-$(grep -ao '[A-Za-z0-9_]\{32\}' "$work/profile4" | head -n 1).htm"

# --- ranking: result pages of a few keywords ------------------------------------------------------
search() { fetch -D "$work/headers-$2" "http://s.taobao.com/search?q=$1&s=$2" | without_filler >"$work/search-$2-$3"; }
search "%E8%BD%AF%E4%BB%B6%E5%BC%80%E5%8F%91" 0 a
search "%E8%BD%AF%E4%BB%B6%E5%BC%80%E5%8F%91" 44 a
search "%E5%86%B7%E9%97%A8%E5%AE%9D%E8%B4%9D" 44 b
search "%E5%86%B7%E9%97%A8%E5%AE%9D%E8%B4%9D" 88 b
# The first byte says how many pages follow (one more than its value).
put ranking_page_fuzz one-page "$(with_byte 00 "$(text kw1 软件开发)")" "$work/search-0-a"
put ranking_page_fuzz two-pages "$(with_byte 01 "$(text kw1 软件开发)")" "$work/search-0-a" "$work/search-44-a"
put ranking_page_fuzz short-results "$(with_byte 02 "$(text kw2 冷门宝贝)")" "$work/search-44-b" "$work/search-88-b" \
    "$(text empty '')"

# --- shop crawl: the demo shops' pages ------------------------------------------------------------
shop() {
    local host=$1 name=$2
    for page in 1 2 3; do
        fetch -o "$work/shop-$name-$page" "http://$host/search.htm?v=1&pageNo=$page"
    done
    put shop_page_fuzz "$name" "$(text "addr-$name" "$3")" "$work/shop-$name-1" "$work/shop-$name-2" "$work/shop-$name-3"
}
shop demoshop1.taobao.com demoshop1 "DemoShop1.Taobao.COM"
shop demoshop3.taobao.com demoshop3 "https://demoshop3.taobao.com/"
shop unknown.example.com unknown "http://unknown.example.com"

# --- today's pages: the search endpoint's answers, signed with the token it sets, and a shop's list ----------
# gateway NAME KEYWORD PAGE: the endpoint's answer for a page of a keyword's results.
gateway() {
    local data token t=1700000000000 sign
    data=$(printf '{"appId":"34385","params":"{\\"q\\":\\"%s\\",\\"page\\":%s}"}' "$2" "$3")
    token=$(awk '$6 == "_m_h5_tk" { print $7 }' "$work/cookies" | cut -d_ -f1)
    sign=$(printf '%s' "$token&$t&12574478&$data" | md5sum | cut -d' ' -f1)
    fetch -o "$work/$1" -G "http://h5api.m.taobao.com/h5/mtop.relationrecommend.wirelessrecommend.recommend/2.0/" \
        --data-urlencode "data=$data" -d "appKey=12574478&t=$t&sign=$sign&callback=mtopjsonp1"
}
gateway today-token 今日好物 1
gateway today-1 今日好物 1
gateway today-2 今日好物 2
gateway today-slider 今日限流 2
fetch -o "$work/today-page" "http://s.taobao.com/search?q=%E4%BB%8A%E6%97%A5%E5%A5%BD%E7%89%A9&page=1&tab=all"
# The cards a browser draws from an answer, as the reader's tests write them.
cat >"$work/today-cards" <<'CARDS'
<div id="content_items_wrapper"><a href="//item.taobao.com/item.htm?spm=a21n57&id=700000000001&ns=1" class="Card--doubleCardWrapper"><img src="data:image/png;base64,AA" data-src="//g.alicdn.com/1.jpg"><div class="Title--title--jCOPvpf"><span>男士<span class=H>外套</span> 春秋</span></div><div class="Price--priceInt">129</div><span class="Price--realSales">1.5万+人付款</span></a><a href="https://detail.tmall.com/item.htm?id=700000000002"><img src="https://img.alicdn.com/2.jpg">简约 卫衣 <b>3人收货</b></a></div>
CARDS
put today_search_page_fuzz token "$work/today-token" "$work/today-page"
put today_search_page_fuzz items "$work/today-1" "$work/today-page"
put today_search_page_fuzz nested-items "$work/today-2" "$work/today-cards"
put today_search_page_fuzz slider "$work/today-slider" "$(text empty '')"
put today_search_page_fuzz cards-only "$(text empty '')" "$work/today-cards"
# The list endpoint's pages of the shop, its HTML out of the JSONP; the gateway's item list as its tests write it.
for page in 1 3 4; do
    fetch "http://todayshop.taobao.com/i/asynSearch.htm?callback=jsonp1&pageNo=$page" |
        python3 -c 'import json, sys; t = sys.stdin.read(); print(json.loads(t[t.index("(") + 1:t.rindex(")")]), end="")' \
            >"$work/today-list-$page"
done
text today-items '{"api":"mtop.taobao.shop.simple.item.fetch","data":{"data":[{"itemId":"600000000011","title":"A款","itemUrl":"//item.taobao.com/item.htm?id=600000000011"},{"itemId":null,"title":"B款","itemUrl":"https://item.taobao.com/item.htm?id=600000000012&x=1"}]},"ret":["SUCCESS::调用成功"]}' >/dev/null
put today_shop_page_fuzz first-page "$work/today-list-1" "$work/today-items"
put today_shop_page_fuzz last-page "$work/today-list-3" "$(text refused 'mtopjsonp2({"ret":["FAIL_SYS_SESSION_EXPIRED::Session过期"],"data":{}})')"
put today_shop_page_fuzz past-the-last "$work/today-list-4" "$(text empty '')"

# --- the regex helpers on the pages they read -----------------------------------------------------
# The first byte picks the pattern (its index in regex_fuzz.cpp's list).
for pick in "00 shop-demoshop1-1 shop-links" "08 profile4 registration" "0a profile4 user-id" \
    "0b page-rating good-rate" "10 page-rating rateok" "0d page-rating seller-credit" "13 search-0-a nid" \
    "14 search-0-a pic_url" "15 search-0-a raw_title" "16 search-0-a view_sales"; do
    read -r index page name <<<"$pick"
    put regex_fuzz "$name" "$(with_byte "$index" "$work/$page")"
done
# The first byte picks the markers: 0 the title markers, 1 the shop name markers, 2 literal markers.
put text_between_fuzz title-markers "$(with_byte 00 "$(text e '')")" "$(text e '')" "$work/shop-demoshop1-1"
put text_between_fuzz shop-name-markers "$(with_byte 01 "$(text e '')")" "$(text e '')" \
    "$(text a1 //demoshop1.taobao.com/)"
put text_between_fuzz literal-markers "$(with_byte 02 "$(text s '<title>')")" "$(text t '</title>')" "$work/page-rating"
put strip_tags_fuzz rating "$(with_byte 00 "$work/page-rating")"
for cell in 0 1 2; do
    put regex_capture_fuzz "cell$cell" "$(with_byte "0$cell" "$(text e '')")" "$(text e '')" "$work/page-rating"
done

# --- cookies, addresses and headers ---------------------------------------------------------------
fetch -D "$work/headers-cookies" -o /dev/null "http://shop.example.com/test/set-cookie?c=a%3D1%3B%20Path%3D%2F&c=b%3Dx%3Dy%3B%20HttpOnly"
cookies=$(grep -i '^set-cookie:' "$work/headers-cookies" | sed 's/^[Ss]et-[Cc]ookie: *//' | tr -d '\r' | sed 's/$/;/' | tr -d '\n')
put merge_cookies_fuzz from-headers "$(text stored 'a=0; c=3; ')" "$(text fresh "$cookies")" "$(text sep '=')"
put merge_cookies_fuzz attributes "$(text stored2 '')" "$(text fresh2 'cookie2=abc; Domain=.taobao.com; Path=/; HttpOnly;')" "$(text sep2 ':')"
for url in "http://s.taobao.com/search?q=%E8%BD%AF&s=44" 'Shop1.Taobao.COM\path\x' 'http:/item.taobao.com/item.htm?id=1' \
    'HTTPS://Login.taobao.com/member/login.jhtml' 'httpfoo.com/a b'; do
    printf '%s' "$url" >"$corpus/normalize_url_fuzz/$(printf '%s' "$url" | md5sum | cut -c1-12)"
done
put win_http_steps_fuzz request "$(text h $'Cookie: a=1;\r\nX-Test: 1')" "$(text slot 'b=2; c=3; ')" "$work/headers-gbk" "$(text name 'Content-Type')"
put win_http_steps_fuzz proxy "$(text h2 'Referer: http://s.taobao.com/')" "$(text slot2 $'127.0.0.1 \t 8080')" "$work/headers-cookies" "$(text name2 'Set-Cookie')"

# --- encoders and decoders ------------------------------------------------------------------------
for word in 软件开发 "a b-1.x_~" 老实买家 "价格€99"; do
    printf '%s' "$word" >"$corpus/url_encode_fuzz/$(printf '%s' "$word" | md5sum | cut -c1-12)"
done
grep -ao 'raw_title":"[^"]*"' "$work/search-0-a" | head -n 4 | sed 's/^raw_title":"//; s/"$//' >"$work/titles"
n=0
while IFS= read -r title; do
    n=$((n + 1))
    printf '%s' "$title" >"$corpus/unescape_text_fuzz/title$n"
done <"$work/titles"
printf '%s' '%u4E2D%41\u6587 100% 50%zz!' >"$corpus/unescape_text_fuzz/mixed"
put decode_bytes_fuzz gbk-page "$(text cs1 gbk)" "$work/page-rating"
put decode_bytes_fuzz utf8-page "$(text cs2 utf-8)" "$work/search-0-a"
put decode_bytes_fuzz gb18030 "$(text cs3 GB18030)" "$work/shop-demoshop1-1"
fetch -D "$work/headers-meta" -o "$work/page-meta" "http://shop.example.com/test/gbk/meta"
put response_text_fuzz header-gbk "$(text ct1 'text/html; charset=GBK')" "$work/page-rating"
put response_text_fuzz meta-gb2312 "$(text ct2 'text/html')" "$work/page-meta"
put response_text_fuzz utf8 "$(text ct3 'text/html; charset="utf-8"')" "$work/search-0-a"

# --- the CSV reader and the list import: files as the tests read them ------------------------------
printf 'a,b\r\n"x\r\ny",z\r\n\r\nlast,""\n"end"' >"$corpus/csv_fuzz/line-breaks"
printf '\xEF\xBB\xBF买家,黑名单\r\na"b,c\r\n"a"b,c\r\n""x,y\r\n="42054041382",'"'"'=1+1,'"''"'x\r\n' >"$corpus/csv_fuzz/utf8-bom"
printf '买家,黑名单\r\na\rb\r\n' | iconv -f UTF-8 -t GBK >"$corpus/csv_fuzz/gbk"
printf 'a,b\r\nc,d\r\n"open,e\r\nf,g\r\n' >"$corpus/csv_fuzz/unclosed"
printf 'Note , ACCOUNT,list,source\r\n老客户,老实买家,allow,店里\r\n"两行\r\n备注",刷单小号,block\r\nx,,block\r\n'\
'x,某人,grey\r\nx,某人,block,a,b\r\n,"  带空格  ",Allow\r\n"unclosed,a,block\r\n' >"$corpus/csv_fuzz/list-import"
printf 'account,list,note\r\n老实买家,block,备注\r\n皇冠旗舰店,allow,\r\n' | iconv -f UTF-8 -t GBK >"$corpus/csv_fuzz/list-gbk"

# --- the page classifier: the tests' pages and addresses, the rating text as the job's own ---------
page_check() { put page_check_fuzz "$1" "$(text "a-$1" "$2")" "$(text "t-$1" "$3")" "$(text own1 rateok)" "$(text own2 好评率)"; }
rating='<table><tr><td class="rateok">3</td></tr></table><li>好评率：99.85%</li>'
page_check login-redirect 'https://login.taobao.com/member/login.jhtml?redirectURL=x' '<p>x</p>'
page_check punish 'http://s.taobao.com//search/_____tmd_____/punish?x5secdata=ab' '<html></html>'
page_check own-page 'http://rate.taobao.com/user-rate-x.htm' "$rating"
page_check own-page-login-box '' '<div class="site-nav"><form action="https://login.taobao.com/member/login.jhtml"><input name="TPL_username"></form></div>'"$rating"
page_check login-form '' '<form id="J_Form" action="/member/login.jhtml" method="post">'
page_check slider '' '<div id="nc_1_n1z" class="nc_iconfont btn_slide"></div><p>请按住滑块，拖动到最右边</p>'
page_check blank '' $' \r\n\t'
page_check off-host 'http://127.0.0.1/punish' '<p>x</p>'
page_check look-alike 'https://evil.example\@login.taobao.com:443/member/login.jhtml' '<p>x</p>'
page_check error-page 'HTTPS://Login.Taobao.COM.example.com/x' '<html><body><h1>500 Internal Server Error</h1></body></html>'

# --- the settings file ----------------------------------------------------------------------------
printf '[配置]\r\nSURL=//demoshop1.taobao.com/\r\nKeyWord=软件开发\r\nPages=10\r\nGoods=42054041382\r\nop=1\r\n' |
    iconv -f UTF-8 -t GBK >"$work/ini1"
printf '; notes\n[other]\nSURL=x\n[配置]\n  keyword = "  quoted  "\nop=2\n[配置]\nGoods=1\n' | iconv -f UTF-8 -t GBK >"$work/ini2"
# The first byte picks the key written.
put settings_fuzz windows-file "$(with_byte 00 "$work/ini1")" "$(text v1 连衣裙)"
put settings_fuzz odd-file "$(with_byte 01 "$work/ini2")" "$(text v2 '  blanks  ')"

du -sh "$corpus"
for dir in "$corpus"/*/; do
    printf '%-24s %3d seeds\n' "$(basename "$dir")" "$(find "$dir" -type f | wc -l)"
done
