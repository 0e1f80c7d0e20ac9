# Copies the manual page IN to OUT with DATE and "Quillon VERSION" in its .TH line.
file(READ ${IN} text)
string(REGEX REPLACE "\n\\.TH ([^ ]+) ([0-9]+) [^\n]*"
    "\n.TH \\1 \\2 ${DATE} \"Quillon ${VERSION}\" \"User Commands\"" text "${text}")
file(WRITE ${OUT} "${text}")
