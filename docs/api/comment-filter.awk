# Doxygen input filter for the public headers. The headers are commented in
# plain `//` prose, written for people reading the header; this turns those
# comments into documentation as Doxygen reads it, without changing a word:
#
# - the comment right after `#pragma once` describes the file (@file);
# - a whole-line comment at namespace or class level (indented at most four
#   spaces) documents the declaration after it; deeper ones are notes inside
#   inline bodies and stay plain comments;
# - a comment after a member or enumerator (`int x; // ...`) documents it;
# - a class's section headings (`// Geometry`, `// Queries by time ----`:
#   the first line of a comment, without a full stop, standing alone, ruled
#   or of at most three words) group the members up to the next heading,
#   access label or the class's end;
# - characters Doxygen would read as commands, HTML or links are escaped, so
#   the text shows as written.
#
# No line is added or removed, so Doxygen's warnings name the header's own
# lines.
#
# Usage (Doxygen's INPUT_FILTER): awk -f comment-filter.awk HEADER

# Each character Doxygen gives a meaning, preceded by a backslash, except
# inside `code`, which Doxygen shows as it stands. Built by hand: what a
# backslash means in a gsub replacement differs between awks.
function escape(text,    out, c, i, code) {
    out = ""
    code = 0
    for (i = 1; i <= length(text); i++) {
        c = substr(text, i, 1)
        if (c == "`") code = !code
        else if (!code && index("\\@<>&%$#", c)) out = out "\\"
        out = out c
    }
    return out
}

function heading(text, next_line,    words) {
    if (text ~ /\.[ ]*$/) return 0
    if (next_line !~ /^[ ]*\/\//) return 1
    if (text ~ /---+[ ]*$/) return 1
    return split(text, words, " ") <= 3
}

# Group markers go on existing lines (see the top of this file).
function close_group(    marker) {
    marker = group ? "/*@}*/ " : ""
    group = 0
    return marker
}

BEGIN { state = "before"; group = 0; previous = "" }

# One line behind, so that a comment line can see the line after it.
NR > 1 { handle(previous, $0) }
{ previous = $0 }
END { if (NR > 0) handle(previous, "") }

function handle(line, next_line,    indent, text, code, first) {
    if (state == "before" && line ~ /^#pragma once/) {
        state = "pragma"
        print line
        return
    }
    if (match(line, /^[ ]*\/\/ ?/)) {
        indent = line
        sub(/\/\/.*/, "", indent)
        text = substr(line, RLENGTH + 1)
        first = !comment_before
        comment_before = 1
        if (state == "pragma") {
            # The blank line after this comment is dropped in exchange.
            print "/// @file"
            state = "filedoc"
        }
        if (state == "filedoc") {
            print "/// " escape(text)
        } else if (length(indent) == 4 && first && heading(text, next_line)) {
            sub(/[ ]*---+[ ]*$/, "", text)
            code = close_group()
            print indent code "/** @name " escape(text) " */ /*@{*/"
            group = 1
        } else if (length(indent) <= 4) {
            print indent "/// " escape(text)
        } else {
            print line
        }
        return
    }
    comment_before = 0
    if (state == "filedoc" && line == "") {
        state = "body"
        return
    }
    if (state == "pragma" || state == "filedoc") state = "body"
    if (line ~ /^};/ || line ~ /^(public|protected|private):/) line = close_group() line
    # A trailing comment after a member or enumerator.
    if (line !~ /"/ && match(line, /[;,][ ]*\/\/ ?/)) {
        code = substr(line, 1, RSTART)
        text = substr(line, RSTART + RLENGTH)
        print code " ///< " escape(text)
        return
    }
    print line
}
