#!/usr/bin/env bash
# The manual page of tarvisk-cli against the program's own --help: the page has a heading for every command that
# takes no further command (and none other), and lists under OPTIONS and under each heading exactly the options
# that --help shows for it (--help itself aside). Usage: man_page.sh PATH-TO-TARVISK-CLI PATH-TO-tarvisk-cli.1.in
set -u
cli="$1"
page="$2"
source "$(dirname "$0")/cli_lib.bash"

# help_lines COMMAND...: "COMMAND --option" for each option of the command, then "COMMAND" when it runs by itself
# (a leaf, or one whose subcommands may be left out: "[命令]" in its usage), recursing into its subcommands.
help_lines() {
    local help
    help=$("$cli" "$@" --help) || {
        fail "$* --help failed"
        return
    }
    local path="$*"
    printf '%s\n' "$help" | sed -n 's/^ *\(-h,\)\{0,1\}\(--[a-z][a-z-]*\).*/\2/p' | grep -vx -- '--help' |
        sed "s/^/${path:+$path }/"
    local subcommands
    subcommands=$(printf '%s\n' "$help" | sed -n '/^命令:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')
    if [ -z "$subcommands" ] || printf '%s\n' "$help" | grep -q '^用法:.*\[命令\]$'; then
        [ -n "$path" ] && echo "$path"
    fi
    [ -z "$subcommands" ] && return
    local sub
    for sub in $subcommands; do
        help_lines "$@" "$sub"
    done
}

# The page: ".SS "tarvisk\-cli list add LIST ACCOUNT"" opens a command (its lower-case words), an option is the
# first --name on the line after ".TP"; the options before the first heading are the global ones.
page_lines() {
    sed 's/\\-/-/g' "$page" | awk '
        /^\.SS / {
            path = ""
            n = split($0, words, /[ "]+/)
            for (i = 3; i <= n; i++) {
                if (words[i] !~ /^[a-z]+$/) break
                path = path (path == "" ? "" : " ") words[i]
            }
            print path
            next
        }
        /^\.SH / { section = $2; next }
        item && (section == "OPTIONS" || section == "COMMANDS") {
            if (match($0, /--[a-z][a-z-]*/)) {
                option = substr($0, RSTART, RLENGTH)
                if (option != "--help") print (path == "" ? "" : path " ") option
            }
        }
        { item = ($0 == ".TP") }'
}

help_lines | sort >"$work/help"
page_lines | sort >"$work/page"
[ -s "$work/help" ] || fail "no options read from --help"
if ! diff "$work/help" "$work/page" >"$work/diff"; then
    fail "the manual page and --help differ (< only in --help, > only in the page):
$(grep '^[<>]' "$work/diff")"
fi
finish "man_page ($(wc -l <"$work/help") commands and options)"
