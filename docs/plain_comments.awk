# plain_comments.awk - Doxygen input filter for the public headers, which document each
# declaration with plain // comments. Rewrites, for Doxygen's eyes only:
#   - the opening comment block into the file's description (/// @file);
#   - a comment block above a declaration into ///, and a comment behind code (with its
#     aligned continuation lines) into ///<;
#   - a comment above a run of declarations that ends at a blank line (one function's
#     overloads, or class members under a topic comment) into a member group, so that
#     DISTRIBUTE_GROUP_DOC hands the one description to every member of the run (the blank
#     line takes the closing marker; other runs stay plain: only their first member is
#     documented, and Doxygen names the others);
#   - "// ---- Section ----" dividers stay plain comments.
# Comment text is escaped so that paths ("\\?\UNC\"), "%1" placeholders and "<windows.h>"
# read as text, not as Doxygen commands or HTML. Lines already in /// or //! form pass as
# they are. Only comments change, and no line is added: warnings keep the header's lines.

function is_plain_comment(l) {
  return l ~ /^[ \t]*\/\// && l !~ /^[ \t]*\/\/[\/!]/
}

# The comment's text after "//" and one blank.
function text_after(l, pos,   t) {
  t = substr(l, pos + 2)
  sub(/^ /, "", t)
  return t
}

# Escapes Doxygen's command and markup characters outside `code spans`.
function esc(t,   out, i, c, in_code) {
  out = ""
  in_code = 0
  for (i = 1; i <= length(t); i++) {
    c = substr(t, i, 1)
    if (c == "`") in_code = !in_code
    if (!in_code && index("\\@<>&#%$", c) > 0) out = out "\\"
    out = out c
  }
  return out
}

# Position of a "//" that starts a comment behind code (not inside a literal), or 0.
function trailing_pos(l,   i, c, quote) {
  quote = ""
  for (i = 1; i < length(l); i++) {
    c = substr(l, i, 1)
    if (quote != "") {
      if (c == "\\") i++
      else if (c == quote) quote = ""
    } else if (c == "\"" || c == "'") {
      quote = c
    } else if (substr(l, i, 2) == "//") {
      return i
    }
  }
  return 0
}

function flush_pending(   i) {
  for (i = 1; i <= npending; i++) print pending[i]
  npending = 0
}

# The name a declaration statement declares: the word before its first "(" (operators
# included), else its last word.
function declared_name(code,   t) {
  t = code
  if (index(t, "(") > 0) t = substr(t, 1, index(t, "(") - 1)
  sub(/[ \t]*(=.*|\[.*|;.*)?$/, "", t)
  if (match(t, /operator[^A-Za-z0-9_ \t]*$/)) return substr(t, RSTART)
  if (match(t, /[A-Za-z0-9_~]+$/)) return substr(t, RSTART)
  return t
}

# Notes the name of a statement that starts on this line of the run.
function note_statement(code,   name) {
  if (stmt_open) return
  name = declared_name(code)
  if (run_name == "") run_name = name
  else if (name != run_name) run_same_name = 0
}

# One comment describes a whole run when the run is one function's overloads, or a run of
# class members under a topic comment. Free declarations of different names are not
# grouped: the comment above them usually describes the first one only.
function run_groupable() {
  return nstmts > 1 && (run_same_name || run_depth > 0)
}

# Prints the held comment and run of declarations, as a member group or plainly.
function flush_run(as_group,   i) {
  if (as_group && run_groupable()) sub(/\/\/\/ ?/, "///@{ ", pending[1])
  flush_pending()
  for (i = 1; i <= nrun; i++) print run[i]
  nrun = 0
  nstmts = 0
  collecting = 0
}

# Tracks braces: which scopes are enum bodies (no member groups there).
function track_braces(code,   i, c) {
  for (i = 1; i <= length(code); i++) {
    c = substr(code, i, 1)
    if (c == "{") kind[++depth] = (code ~ /(^|[^A-Za-z0-9_])enum([^A-Za-z0-9_]|$)/) ? "enum" : "scope"
    else if (c == "}" && depth > 0) depth--
  }
}

# A line of code with its comment behind it turned into ///<; sets trailing_col.
function convert_code(l,   pos, code) {
  pos = trailing_pos(l)
  code = pos > 0 ? substr(l, 1, pos - 1) : l
  line_code = code
  trailing_col = 0
  if (pos > 0 && code !~ /^[ \t]*$/ && substr(l, pos, 3) != "///" && substr(l, pos, 3) != "//!") {
    trailing_col = pos
    return code "///< " esc(text_after(l, pos))
  }
  return l
}

BEGIN {
  banner = 1; banner_started = 0; npending = 0; nrun = 0; nstmts = 0; collecting = 0
  stmt_open = 0
  trailing_col = 0; depth = 0
}

{
  line = $0

  if (banner && is_plain_comment(line)) {
    t = text_after(line, index(line, "//"))
    if (!banner_started) {
      # "JOVMemory.h - the allocator front ..." describes the file: "\file" without a name.
      sub(/^[A-Za-z0-9_]+\.h +- +/, "", t)
      t = esc(t) " \\file"
      banner_started = 1
    } else {
      t = esc(t)
    }
    print "/// " t
    next
  }
  banner = 0

  plain = is_plain_comment(line)
  pos = plain ? index(line, "//") : 0
  # An aligned comment line under a comment behind code continues that comment.
  if (plain && trailing_col > 0 && pos == trailing_col) {
    out = substr(line, 1, pos - 1) "///< " esc(text_after(line, pos))
    if (collecting) run[++nrun] = out
    else print out
    next
  }

  blank = (line ~ /^[ \t]*$/)
  if (collecting && !stmt_open) {
    if (blank) {
      # The run ends at a blank line, which gives its place to the group's closing marker.
      grouped = run_groupable()
      flush_run(1)
      print grouped ? "///@}" : line
      trailing_col = 0
      next
    }
    if (plain || line ~ /^[ \t]*#/ || line ~ /[{}]/ || line ~ /^[ \t]*(public|protected|private)[ \t]*:/) {
      flush_run(0)
    }
  }
  if (collecting) {
    run[++nrun] = convert_code(line)
    note_statement(line_code)
    track_braces(line_code)
    stmt_open = (line_code !~ /[;{}:][ \t]*$/)
    if (line_code ~ /;[ \t]*$/) nstmts++
    next
  }

  if (plain) {
    trailing_col = 0
    if (line ~ /^[ \t]*\/\/ *----/) {
      flush_pending()
      print line
      next
    }
    pending[++npending] = substr(line, 1, pos - 1) "/// " esc(text_after(line, pos))
    next
  }
  if (blank || line ~ /^[ \t]*#/) {
    trailing_col = 0
    flush_pending()
    print line
    next
  }

  out = convert_code(line)
  opens_scope = (line_code ~ /[{}]/ || line_code ~ /^[ \t]*(public|protected|private)[ \t]*:/)
  if (npending > 0 && !opens_scope && !stmt_open && kind[depth] != "enum") {
    collecting = 1
    run[++nrun] = out
    run_name = ""
    run_same_name = 1
    run_depth = depth
    note_statement(line_code)
    nstmts = (line_code ~ /;[ \t]*$/) ? 1 : 0
  } else {
    flush_pending()
    print out
  }
  track_braces(line_code)
  stmt_open = (line_code !~ /[;{}:][ \t]*$/)
}

END {
  # A run that reaches the end of the file is a group too; the marker is the one added line.
  if (collecting) {
    grouped = run_groupable()
    flush_run(1)
    if (grouped) print "///@}"
  }
  flush_pending()
}
