// A table's rows sorted by one of its columns, the first N of them kept, whatever order the logs
// are read in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Rows sorted by the field at `column`: as numbers (text for a column of words), smallest first or
// largest first, an empty field or a NaN after every number, rows of equal fields in the order of
// their logs and within a log in the order they come; without a column (SIZE_MAX), in that
// order alone. With `top`, only the first `top` rows are kept, in memory that does not grow past
// twice that.
class SortedRows {
  public:
    SortedRows(std::size_t column, bool words, bool descending, std::optional<std::int64_t> top);

    // Adds the row `fields` of log `log` (its place among the logs), the `sequence`-th of its
    // rows.
    void Add(std::size_t log, std::int64_t sequence, const std::vector<std::string>& fields);
    // An empty table sorted the same way.
    SortedRows Like() const { return SortedRows(column, words, descending, top); }
    // Adds the rows another holds (sorted the same way), as their own.
    void Merge(SortedRows&& other);
    // The rows kept, sorted, as CSV.
    std::string Csv();

  private:
    struct Row {
        bool missing;
        double number;
        std::string word;
        std::size_t log;
        std::int64_t sequence;
        std::string csv;
    };
    bool Before(const Row& a, const Row& b) const;
    void Trim();

    std::size_t column;
    bool words, descending;
    std::optional<std::int64_t> top;
    std::vector<Row> rows;
};
