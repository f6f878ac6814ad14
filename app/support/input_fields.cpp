#include "input_fields.h"

namespace calmora {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Past one separator: a comma, or a line end (CR LF counting as one).
int SkipSeparator(const QByteArray& text, int i) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) return i;
    if (text[i] == ',') return i + 1;
    if (text[i] == '\r') return (i + 1 < text.size() && text[i + 1] == '\n') ? i + 2 : i + 1;
    if (text[i] == '\n') return i + 1;
    return i;
}

}  // namespace

QList<QByteArray> ReadInputFields(const QByteArray& contents, int maxFields) {
    QList<QByteArray> fields;
    int i = contents.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const int n = int(contents.size());
    while (fields.size() < maxFields && i < n) {
        while (i < n && IsBlank(contents[i])) ++i;
        if (i < n && contents[i] == '"') {
            int end = i + 1;
            while (end < n && contents[end] != '"' && !IsLineEnd(contents[end])) ++end;
            fields.append(contents.mid(i + 1, end - i - 1));
            i = (end < n && contents[end] == '"') ? end + 1 : end;
            // Anything between the closing quote and the separator is dropped.
            while (i < n && contents[i] != ',' && !IsLineEnd(contents[i])) ++i;
        } else {
            int end = i;
            while (end < n && contents[end] != ',' && !IsLineEnd(contents[end])) ++end;
            fields.append(contents.mid(i, end - i).trimmed());
            i = end;
        }
        i = SkipSeparator(contents, i);
    }
    return fields;
}

QByteArray QuotedField(const QByteArray& value) { return '"' + value + '"'; }

}  // namespace calmora
