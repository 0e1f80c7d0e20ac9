#pragma once

#include <optional>
#include <string>
#include <string_view>

// Mends, in a document's own bytes, the faults that most often keep a feed from being XML:
//   - blank lines and byte order marks before the XML declaration are dropped; a UTF-8 byte
//     order mark among them is put back at the very start, and then it decides the encoding: a
//     declaration naming another one is made to name UTF-8;
//   - HTML's named character references (&nbsp; &copy; &mdash; ...) become numeric ones, which
//     mean the same character in every encoding;
//   - an "&" that starts no reference becomes "&amp;", and so does the "&" of a reference to a
//     name nothing defines (the document declares no entities of its own), so that its text
//     stays instead of being dropped.
//   - an end tag closes the nearest open element of its name, as browsers read it: the end
//     tags of the elements left open inside that one are put in before it, and an end tag
//     that closes nothing is dropped ("<item><title>x</item>" becomes
//     "<item><title>x</title></item>"). Elements still open where the document ends stay
//     open: a document cut off mid-way is not made to look whole.
// CDATA sections, comments, processing instructions and the document type declaration are
// copied as they are. Works on encodings that keep every byte below 0x40 for the ASCII
// character it stands for (UTF-8, the GB and Big5 encodings, the ISO 8859 family); UTF-16 is
// the caller's to leave alone. Nothing when the mended document would be more than twice as
// long as the document: no feed needs that much mending, and a hostile one must not grow.
std::optional<std::string> RepairMarkup(std::string_view bytes);
