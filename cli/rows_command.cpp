#include "cli/rows_command.h"

#include <cstdio>
#include <unistd.h>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/json.h"
#include "cli/open_command.h"
#include "engine/catalog/table_lookup.h"
#include "engine/rows/table_row_batches.h"
#include "engine/rows/table_rows.h"
#include "output/csv_format.h"

namespace tollamer::cli {

namespace {

std::string JsonArray(const std::vector<std::string>& cells) {
  std::string out = "[";
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += ",";
    out += JsonString(cells[i]);
  }
  return out + "]";
}

void AppendEscaped(std::string& out, const std::string& cell) {
  for (char c : cell) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
}

void AppendTabLine(std::string& out, const std::vector<std::string>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out.push_back('\t');
    AppendEscaped(out, cells[i]);
  }
  out.push_back('\n');
}

void AppendCsvLine(std::string& out, const std::vector<std::string>& cells) {
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out.push_back(',');
    AppendCsvField(out, cells[i], false);
  }
  out += "\r\n";
}

// {"title": cell, ...}; a title met twice keeps each cell under its name.
std::string JsonObject(const std::vector<std::string>& titles, const std::vector<std::string>& cells) {
  std::string out = "{";
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += ",";
    out += JsonString(i < titles.size() ? titles[i] : std::to_string(i + 1));
    out += ":";
    out += JsonString(cells[i]);
  }
  return out + "}";
}

enum class RowFormat { kTsv, kCsv, kJsonArray, kJsonObject };

std::optional<RowFormat> ChosenFormat(const RowsOptions& options) {
  if (options.format.empty()) return options.json ? RowFormat::kJsonObject : RowFormat::kTsv;
  if (options.json) return std::nullopt;
  if (options.format == "tsv") return RowFormat::kTsv;
  if (options.format == "csv") return RowFormat::kCsv;
  if (options.format == "json") return RowFormat::kJsonArray;
  return std::nullopt;
}

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// One row in the chosen format, as it follows another row: the JSON forms
// begin with their separator, which the first row leaves out.
void AppendRow(RowFormat format, const std::vector<std::string>& titles,
               const std::vector<std::string>& row, std::string& out) {
  switch (format) {
    case RowFormat::kJsonObject:
      out.push_back(',');
      out += JsonArray(row);
      break;
    case RowFormat::kJsonArray:
      out += ",\n";
      out += JsonObject(titles, row);
      break;
    case RowFormat::kCsv: AppendCsvLine(out, row); break;
    case RowFormat::kTsv: AppendTabLine(out, row); break;
  }
}

constexpr uint64_t kProgressRows = 100000;
constexpr size_t kGridOutputFlush = 1 << 20;

}  // namespace

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  AppendCsvLine(line, cells);
  return line;
}

std::string TabLine(const std::vector<std::string>& cells) {
  std::string line;
  AppendTabLine(line, cells);
  return line;
}

int RunRows(const RowsOptions& options) {
  std::optional<VersionChoice> version = ParseVersionChoice(options.version);
  if (!version) {
    std::fprintf(stderr, "tollamer-cli: unknown server version %s (2000, 2005 to 2025, or auto)\n",
                 options.version.c_str());
    return 2;
  }
  std::optional<RowFormat> format = ChosenFormat(options);
  if (!format) {
    std::fprintf(stderr, "tollamer-cli: --format is tsv, csv or json (and not given with --json)\n");
    return 2;
  }
  if (options.table.empty()) {
    std::fprintf(stderr, "tollamer-cli: name the table with --table\n");
    return 2;
  }
  if (!options.all && options.page < 1) {
    std::fprintf(stderr, "tollamer-cli: --page counts from 1\n");
    return 2;
  }
  // Rows go to stdout: appending them to the input itself is refused.
  std::optional<platform::FileIdentity> out = platform::IdentityOfDescriptor(fileno(stdout));
  if (out && out == platform::IdentityOf(options.path)) {
    std::fprintf(stderr, "tollamer-cli: refusing to write the rows: stdout is the input file %s\n",
                 options.path.c_str());
    return kExitUsage;
  }
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  std::optional<VersionSetting> opened = RunOpenFlow(db, options.path, *version, log);
  if (!opened) return kExitCannotRead;
  const VersionSetting setting = *opened;

  const TableInfo* table = FindTableByName(db.catalog, options.table);
  if (!table) {
    std::fprintf(stderr, "tollamer-cli: no table named %s\n", options.table.c_str());
    return kExitNoSuchTable;
  }
  const uint32_t id = table->id;
  std::vector<std::string> titles;
  for (const auto& [colid, c] : table->columns) titles.push_back(c.name);

  const bool terminal = options.all && isatty(fileno(stderr));
  switch (*format) {
    case RowFormat::kJsonObject:
      Write("{\"table\":" + JsonString(table->fullName) + ",\"titles\":" + JsonArray(titles));
      Write(",\"rows\":[");
      break;
    case RowFormat::kJsonArray: Write("["); break;
    case RowFormat::kCsv: Write(CsvLine(titles)); break;
    case RowFormat::kTsv: Write(TabLine(titles)); break;
  }
  const bool json = *format == RowFormat::kJsonArray || *format == RowFormat::kJsonObject;
  uint64_t count = 0;
  uint64_t shown = 0;  // the last progress step shown
  // Text of rows that follow `count` rows already written.
  auto write_rows = [&](const std::string& text, uint64_t rows) {
    if (rows == 0) return true;
    const size_t skip = json && count == 0 ? 1 : 0;  // the first row's separator
    std::fwrite(text.data() + skip, 1, text.size() - skip, stdout);
    count += rows;
    if (terminal && count / kProgressRows != shown) {
      shown = count / kProgressRows;
      std::fprintf(stderr, "\r%llu rows", static_cast<unsigned long long>(count));
    }
    return true;
  };
  uint32_t page_count = 0;
  if (options.all) {
    const RowTextFormatter append = [&](const std::vector<std::string>& row, std::string& out) {
      AppendRow(*format, titles, row, out);
    };
    ForEachTableRowBatch(db, setting, id, append, write_rows);
    page_count = db.catalog.tables.at(id).gridPageCount;
  } else {
    TableGridPage grid = ShowTableData(db, setting, id, options.page);
    std::string text;
    uint64_t rows = 0;
    for (const auto& row : grid.rows) {
      AppendRow(*format, titles, row, text);
      if (++rows, text.size() >= kGridOutputFlush) {
        write_rows(text, rows);
        text.clear();
        rows = 0;
      }
    }
    write_rows(text, rows);
    page_count = grid.pageCount;
  }
  const bool first = count == 0;
  if (shown) std::fprintf(stderr, "\r");
  if (*format == RowFormat::kJsonArray) Write(first ? "]\n" : "\n]\n");
  if (*format == RowFormat::kJsonObject) {
    std::string page = options.all ? "null" : std::to_string(options.page);
    Write("],\"catalogRowCount\":" + std::to_string(db.catalog.tables.at(id).rowCount) +
          ",\"page\":" + page + ",\"pageCount\":" + std::to_string(page_count) +
          ",\"rowCount\":" + std::to_string(count) + "}\n");
  } else if (options.all) {
    std::fprintf(stderr, "%llu rows, %u grid pages\n", static_cast<unsigned long long>(count),
                 page_count);
  } else {
    std::fprintf(stderr, "grid page %d of %u: %llu rows\n", options.page, page_count,
                 static_cast<unsigned long long>(count));
  }
  // Every row was asked for: fewer than the catalog counts is a loss.
  const uint64_t catalog_rows = db.catalog.tables.at(id).rowCount;
  if (options.all && count < catalog_rows) {
    std::fprintf(stderr, "tollamer-cli: incomplete: %s: %llu of %llu rows recovered\n",
                 db.catalog.tables.at(id).fullName.c_str(), static_cast<unsigned long long>(count),
                 static_cast<unsigned long long>(catalog_rows));
    return kExitLosses;
  }
  return kExitComplete;
}

}  // namespace tollamer::cli
