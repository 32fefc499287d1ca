# Turns the driver's --help text (standard input) into man-page markup (standard output), so
# the manual page says what the built driver says and a new option needs no second edit.
# Plain POSIX awk: it runs at build time wherever the driver is built.
#
# The help text's layout, which this reads:
#   "Usage: PROG ARGS"      the synopsis, with any lines after it up to the first blank line
#                           (each may start with "or:")
#   "Title words: text"     at column 0 after a blank line: a new section TITLE WORDS whose first
#                           text follows the colon ("Options:", "Exit status: 0 when ...")
#   "  TERM  TEXT"          two spaces, a term, two or more spaces, its text: a tagged item
#                           (options are items whose term starts with "-")
#   "  LINE"                two spaces and no such gap: a line shown as it stands (an example)
#   deeper indented lines   go on with the item or example above
#   other lines             running text; a blank line ends a paragraph
# Text before the first section is the description.

# Escapes roff's specials. A "-" that starts a word (an option, a sign) becomes \-, so it stays
# a minus sign that can be searched for and copied; a hyphen inside a word stays a hyphen.
function esc(s,    out, i, c, prev, minus) {
    gsub(/\\/, "\\e", s)
    out = ""
    prev = " "
    minus = 0
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        minus = c == "-" && (minus || index(" [(,=|/", prev) > 0)
        out = out (minus ? "\\-" : c)
        prev = c
    }
    return out
}

# A line of output text: roff takes a leading "." or "'" as a request.
function text_line(s) {
    sub(/^[ \t]+/, "", s)
    s = esc(s)
    if (s ~ /^[.']/) s = "\\&" s
    print s
}

# An option's name: every "-" in it is a minus (--output-dir), so a search for it finds it.
function option(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    return s
}

# A line of the synopsis: the program's name bold, the rest as a term.
function synopsis_line(line,    prog, rest) {
    prog = line
    sub(/ .*$/, "", prog)
    rest = substr(line, length(prog) + 1)
    sub(/^ +/, "", rest)
    print ".B " esc(prog)
    if (rest != "") print term(rest)
}

# One word of a synopsis or an item's term: options bold, placeholders (NAME, PICTURE.bmp) italic,
# brackets and trailing punctuation as they are.
function term_word(w,    lead, tail, core, eq) {
    lead = w
    sub(/[^[(].*$/, "", lead)
    core = substr(w, length(lead) + 1)
    tail = core
    sub(/^.*[^]).,|]/, "", tail)
    core = substr(core, 1, length(core) - length(tail))
    if (core ~ /^-/) {
        eq = index(core, "=")
        if (eq > 0)
            core = "\\fB" option(substr(core, 1, eq - 1)) "\\fR=\\fI" esc(substr(core, eq + 1)) "\\fR"
        else
            core = "\\fB" option(core) "\\fR"
    } else if (core ~ /^[A-Z][A-Z0-9_]*[A-Z0-9](\.[a-z0-9]+)?$/) {
        core = "\\fI" core "\\fR"
    } else {
        core = esc(core)
    }
    return esc(lead) core esc(tail)
}

function term(s,    n, words, i, out) {
    n = split(s, words, / +/)
    out = ""
    for (i = 1; i <= n; i++) out = out (i > 1 ? " " : "") term_word(words[i])
    return out
}

# Ends an example block (unfilled, indented) before other text.
function end_block() {
    if (in_example) { print ".fi"; print ".RE"; in_example = 0 }
}

function start_paragraph() {
    end_block()
    print ".PP"
    in_item = 0
}

function section(title) {
    end_block()
    print ".SH " toupper(title)
    in_item = 0
    need_pp = 0
}

BEGIN { in_usage = 0; started = 0; after_blank = 1; need_pp = 0; in_item = 0; in_example = 0 }

{ sub(/\r$/, "") }

/^Usage:/ {
    print ".SH SYNOPSIS"
    line = $0
    sub(/^Usage:[ ]*/, "", line)
    synopsis_line(line)
    in_usage = 1
    next
}

in_usage && /^[ \t]*$/ { in_usage = 0; after_blank = 1; next }

in_usage {
    line = $0
    sub(/^[ \t]*(or:)?[ \t]*/, "", line)
    print ".br"
    synopsis_line(line)
    next
}

/^[ \t]*$/ {
    end_block()
    after_blank = 1
    need_pp = started
    next
}

after_blank && /^[A-Z][a-z]*( [a-z]+)*:( |$)/ {
    title = $0
    sub(/:.*$/, "", title)
    rest = substr($0, length(title) + 2)
    section(title)
    started = 1
    after_blank = 0
    if (rest ~ /[^ ]/) text_line(rest)
    next
}

{
    if (!started) { section("Description"); started = 1 }
    if (need_pp) { start_paragraph(); need_pp = 0 }
    after_blank = 0
}

# "  TERM  TEXT": a tagged item.
/^  [^ ]/ && /[^ ]   *[^ ]/ {
    end_block()
    line = substr($0, 3)
    # A single space belongs to the term ("--method NAME"); two or more end it.
    gap = match(line, /  +/)
    print ".TP"
    print term(substr(line, 1, gap - 1))
    text_line(substr(line, gap + RLENGTH))
    in_item = 1
    next
}

# "  LINE": shown as it stands.
/^  [^ ]/ {
    if (!in_example) { print ".PP"; print ".RS"; print ".nf"; in_example = 1; in_item = 0 }
    text_line($0)
    next
}

# Deeper indented: goes on with the item or example above.
/^   / {
    if (in_example) { line = $0; sub(/^  /, "", line); print esc(line); next }
    text_line($0)
    next
}

{
    if (in_item || in_example) start_paragraph()
    text_line($0)
}

END { end_block() }
