// A table's rows sorted by one of its columns, the first N of them kept, whatever order the logs
// are read in.
#include "sortedrows.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "text.h"

SortedRows::SortedRows(std::size_t column, bool words, bool descending,
                       std::optional<std::int64_t> top)
    : column(column), words(words), descending(descending), top(top) {}

void SortedRows::Add(std::size_t log, std::int64_t sequence,
                     const std::vector<std::string>& fields) {
    static const std::string kNoField;  // without a column every row is as good as another
    const std::string& field = column < fields.size() ? fields[column] : kNoField;
    Row row = {column < fields.size() && field.empty(), 0.0, "", log, sequence, ""};
    if (words)
        row.word = field;
    else if (!row.missing)
        row.number = std::strtod(field.c_str(), nullptr);
    row.missing = row.missing || std::isnan(row.number);
    AppendCsvRow(fields, &row.csv);
    rows.push_back(std::move(row));
    Trim();
}

void SortedRows::Merge(SortedRows&& other) {
    rows.insert(rows.end(), std::make_move_iterator(other.rows.begin()),
                std::make_move_iterator(other.rows.end()));
    other.rows.clear();
    Trim();
}

std::string SortedRows::Csv() {
    std::sort(rows.begin(), rows.end(),
              [this](const Row& a, const Row& b) { return Before(a, b); });
    if (top && rows.size() > static_cast<std::size_t>(*top)) rows.resize(*top);
    std::string csv;
    for (const Row& row : rows) csv += row.csv;
    return csv;
}

bool SortedRows::Before(const Row& a, const Row& b) const {
    if (a.missing != b.missing) return !a.missing;
    if (!a.missing && words && a.word != b.word)
        return descending ? a.word > b.word : a.word < b.word;
    if (!a.missing && !words && a.number != b.number)
        return descending ? a.number > b.number : a.number < b.number;
    return a.log != b.log ? a.log < b.log : a.sequence < b.sequence;
}

// Past twice `top` rows, keeps the first `top`: each row is added and kept at most twice over.
void SortedRows::Trim() {
    if (!top || rows.size() < 2 * static_cast<std::size_t>(*top) + 2) return;
    auto kept = rows.begin() + *top;
    std::nth_element(rows.begin(), kept, rows.end(),
                     [this](const Row& a, const Row& b) { return Before(a, b); });
    rows.erase(kept, rows.end());
}
