# Reads a public header as Doxygen should see it. The headers keep plain
# comments; here
#   - the first comment documents the file;
#   - a comment on its own lines documents the declarations that follow it
#     up to the next blank line, comment, access label or end of class (a
#     member group, whose first member's text the others share);
#   - a comment after a declaration on the same line documents it;
#   - a comment followed by a blank line stays a plain comment.
function comment_start(s) { return s ~ /^[ \t]*\/\*/ || s ~ /^[ \t]*\/\// }
function blank(s) { return s ~ /^[ \t]*$/ }
# A class, struct or extern block opens a scope that a member group must not
# straddle: its comment documents it alone.
function opens_scope(k) {
  if (line[k] ~ /^[ \t]*template[ \t]*</ && k < n) k++
  return line[k] ~ /^[ \t]*(class|struct|union|enum)[ \t]/ || line[k] ~ /^[ \t]*extern[ \t]*"C"/
}
# The last line of the comment that starts at line i.
function block_end(i) {
  if (line[i] ~ /^[ \t]*\/\//) {
    while (i < n && line[i + 1] ~ /^[ \t]*\/\//) i++
    return i
  }
  while (i < n && line[i] !~ /\*\//) i++
  return i
}
function as_doc(s) {
  if (s ~ /^[ \t]*\/\*/ && s !~ /^[ \t]*\/\*\*/) sub(/\/\*/, "/**", s)
  else if (s ~ /^[ \t]*\/\// && s !~ /^[ \t]*\/\/\//) sub(/\/\//, "///", s)
  return s
}
function trailing(s) {
  if (s ~ /[;{}][ \t]+\/\* /) sub(/\/\* /, "/**< ", s)
  else if (s ~ /[;{}][ \t]+\/\/ /) sub(/\/\/ /, "///< ", s)
  return s
}
{ line[NR] = $0 }
END {
  n = NR; open = 0; first = 1
  for (i = 1; i <= n; i++) {
    s = line[i]
    if (comment_start(s)) {
      j = block_end(i)
      close_mark = open ? "/**@}*/ " : ""
      open = 0
      if (first) {
        first = 0
        if (close_mark != "") print close_mark
        print (s ~ /^[ \t]*\/\// ? "/// @file" : "/** @file */")
        for (k = i; k <= j; k++) print as_doc(line[k])
      } else if (j < n && opens_scope(j + 1)) {
        print close_mark as_doc(s)
        for (k = i + 1; k <= j; k++) print as_doc(line[k])
      } else if (j < n && !blank(line[j + 1]) &&
                 (line[j + 1] !~ /^[ \t]*#/ || line[j + 1] ~ /^[ \t]*#[ \t]*define/)) {
        open = 1
        print close_mark "/**@{*/ " as_doc(s)
        for (k = i + 1; k <= j; k++) print as_doc(line[k])
      } else {
        print close_mark s
        for (k = i + 1; k <= j; k++) print line[k]
      }
      i = j
      continue
    }
    if (open) {
      if (blank(s)) { print "/**@}*/"; open = 0; continue }
      if (s ~ /^[ \t]*(public|private|protected)[ \t]*:/ || s ~ /^[ \t]*}[ \t]*;/ || s ~ /^}/) {
        s = "/**@}*/ " s; open = 0
      } else if (s ~ /^[ \t]*#/ && s !~ /^[ \t]*#[ \t]*define/) {
        print "/**@}*/"; open = 0
      }
    }
    print trailing(s)
  }
  if (open) print "/**@}*/"
}
