// Reading the small settings files: comma- or line-separated fields, each
// either in double quotes (read without them) or bare (up to the next comma or
// line end, surrounding blanks dropped).
#pragma once

#include <QByteArray>
#include <QList>

namespace calmora {

// Up to maxFields fields from the start of contents. A quoted field ends at its
// closing quote and may hold commas; a missing closing quote runs to the end of
// the line. A UTF-8 byte-order mark at the start is skipped.
[[nodiscard]] QList<QByteArray> ReadInputFields(const QByteArray& contents, int maxFields);

// A field as a sequential write puts it: in double quotes.
[[nodiscard]] QByteArray QuotedField(const QByteArray& value);

}  // namespace calmora
