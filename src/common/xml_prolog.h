// What an XML file holds before its root element, read without a parser.
#pragma once

namespace nsTobrin {

// True when the file, before its root element, holds nothing but an
// optional byte-order mark, white space, the XML declaration, processing
// instructions and comments, in an 8-bit encoding or in UTF-16. False for a
// document type declaration there (and with it every entity), for anything
// else, and for a file that cannot be read.
bool HasPlainProlog(const wchar_t* path);

}  // namespace nsTobrin
