// Tables as CSV (RFC 4180), to standard output or to a file replaced once complete.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// A field as CSV writes it: as it is, or, when it holds a comma, a quote or a line end, in quotes
// with its quotes doubled.
std::string CsvField(const std::string& text);

// Appends one row: the fields, each as CsvField writes it, between commas, and a line feed.
void AppendCsvRow(const std::vector<std::string>& fields, std::string* out);

// Writes a table to `target`: standard output for "-" (its failure reported at the end, as for
// every output there), else a file written like the pictures (a sibling, renamed over the
// target once complete). `write` puts the table into the stream it is given; when it fails, with
// one line in its err, no file is replaced and that line is the one WriteTable gives. False with
// one line in err when the table cannot be made or the file cannot be written.
using TableWrite = std::function<bool(std::ostream& out, std::string* err)>;
bool WriteTable(const std::string& target, const TableWrite& write, std::string* err);
