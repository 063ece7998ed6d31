#include "cli/rows_command.h"


#include <cmath>
#include <cstdio>

#include "cli/cli_exit.h"
#include "cli/cli_messages.h"
#include "cli/cli_report.h"
#include "cli/data_commands.h"
#include "cli/json.h"
#include "cli/open_command.h"
#include "cli/progress_reporter.h"
#include "engine/catalog/table_lookup.h"
#include "engine/rows/typed_rows.h"
#include "output/open_log.h"
#include "output/csv_format.h"
#include "platform/console.h"

namespace tollamer::cli {

namespace {

// A grid page: eight consecutive data pages of the table's list, as the
// desktop grid pages through them.
constexpr size_t kPagesPerGridPage = 8;

// TSV writes NULL as \N, the mark PostgreSQL's text format uses, so that
// it stays apart from empty text.
constexpr char kTsvNull[] = "\\N";

std::string JsonArray(const std::vector<std::string>& cells) {
  std::string out = "[";
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) out += ",";
    out += JsonString(cells[i]);
  }
  return out + "]";
}

void AppendEscaped(std::string& out, std::string_view cell) {
  // The runs between the bytes that need a backslash go in one piece.
  size_t from = 0;
  for (size_t i = 0; i < cell.size(); ++i) {
    const char* escape = nullptr;
    switch (cell[i]) {
      case '\t': escape = "\\t"; break;
      case '\n': escape = "\\n"; break;
      case '\r': escape = "\\r"; break;
      case '\\': escape = "\\\\"; break;
      default: continue;
    }
    out.append(cell.data() + from, i - from);
    out.append(escape, 2);
    from = i + 1;
  }
  out.append(cell.data() + from, cell.size() - from);
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

// A value in JSON: null, a number for the numeric kinds (finite ones), a
// string for everything else, with the text export-data writes.
void AppendJsonValue(std::string& out, const TypedValue& value) {
  switch (value.kind) {
    case TypedKind::kNull: out += "null"; return;
    case TypedKind::kInteger:
    case TypedKind::kDecimal:
    case TypedKind::kMoney: AppendExportText(out, value); return;
    case TypedKind::kFloat:
      if (std::isfinite(value.real)) {
        AppendExportText(out, value);
        return;
      }
      break;
    default: break;
  }
  out += JsonString(ExportText(value));
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
// begin with their separator, which the first row leaves out. The values
// are those export-data writes: complete, NULL kept apart from empty text.
void AppendRow(RowFormat format, const std::vector<std::string>& titles,
               const std::vector<TypedValue>& row, std::string& out) {
  switch (format) {
    case RowFormat::kJsonObject:
      out += ",[";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out.push_back(',');
        AppendJsonValue(out, row[i]);
      }
      out.push_back(']');
      break;
    case RowFormat::kJsonArray:
      out += ",\n{";
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out.push_back(',');
        out += JsonString(i < titles.size() ? titles[i] : std::to_string(i + 1));
        out.push_back(':');
        AppendJsonValue(out, row[i]);
      }
      out.push_back('}');
      break;
    case RowFormat::kCsv: AppendCsvRow(out, row); break;
    case RowFormat::kTsv:
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) out.push_back('\t');
        if (row[i].IsNull())
          out += kTsvNull;
        else if (row[i].kind == TypedKind::kText)
          AppendEscaped(out, row[i].text);
        else  // numbers, dates, hex and GUIDs hold no tab, line break or backslash
          AppendExportText(out, row[i]);
      }
      out.push_back('\n');
      break;
  }
}

std::string Header(RowFormat format, const TableInfo& table, const std::vector<std::string>& titles) {
  switch (format) {
    case RowFormat::kJsonObject:
      return "{\"table\":" + JsonString(table.fullName) + ",\"titles\":" + JsonArray(titles) +
             ",\"rows\":[";
    case RowFormat::kJsonArray: return "[";
    case RowFormat::kCsv: return CsvLine(titles);
    case RowFormat::kTsv: return TabLine(titles);
  }
  return {};
}

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

namespace {

int RowsOfTable(CMdfDatabase& db, VersionSetting setting, const TableInfo& table_info,
                const RowsOptions& options, RowFormat format_value) {
  const TableInfo* table = &table_info;
  const std::optional<RowFormat> format = format_value;
  const uint32_t id = table->id;
  std::vector<std::string> titles;
  for (const auto& [colid, c] : table->columns) titles.push_back(c.name);

  const bool json = *format == RowFormat::kJsonArray || *format == RowFormat::kJsonObject;
  const TypedRowFormatter append = [&](const std::vector<TypedValue>& row, std::string& text) {
    AppendRow(*format, titles, row, text);
  };
  uint64_t count = 0;
  // Text of rows that follow `count` rows already taken; the first row
  // drops its JSON separator.
  std::string page_text;
  auto take = [&](const std::string& text, uint64_t rows, std::string* into) {
    if (rows == 0) return;
    const size_t skip = json && count == 0 ? 1 : 0;
    if (into)
      into->append(text, skip);
    else
      std::fwrite(text.data() + skip, 1, text.size() - skip, stdout);
    count += rows;
  };

  TypedTableStats stats;
  ProgressReporter progress(table->fullName);
  // CSV lines are written straight from the records by the table's plan.
  const TextForm* form = *format == RowFormat::kCsv ? &CsvTextForm() : nullptr;
  if (options.all) {
    Write(Header(*format, *table, titles));
    TypedBatchOptions all;
    all.form = form;
    ForEachTypedRowBatch(
        db, setting, id, append,
        [&](const TypedRowBatch& batch) {
          take(batch.text, batch.rowCount, nullptr);
          return true;
        },
        stats, [&](uint64_t done, uint64_t total) { progress.Fraction(done, total); }, all);
  } else {
    // The batches are grid pages: the one asked for is kept, the walk
    // stops after it.
    size_t batch_number = 0;
    TypedBatchOptions one_page;
    one_page.threads = 1;
    one_page.pagesPerBatch = kPagesPerGridPage;
    one_page.form = form;
    ForEachTypedRowBatch(
        db, setting, id, append,
        [&](const TypedRowBatch& batch) {
          if (++batch_number < static_cast<size_t>(options.page)) return true;
          take(batch.text, batch.rowCount, &page_text);
          return false;
        },
        stats, {}, one_page);
  }
  progress.Done();
  const uint64_t pages_read = stats.pages - stats.pagesRepeated - stats.pagesUnallocated;
  const uint32_t page_count =
      static_cast<uint32_t>((pages_read + kPagesPerGridPage - 1) / kPagesPerGridPage);
  if (!options.all) {
    // A page past the table's last is an error, not an empty listing.
    if (static_cast<uint32_t>(options.page) > std::max<uint32_t>(page_count, 1)) {
      Error("%s has %u grid pages: there is no page %d\n", table->fullName.c_str(), page_count,
            options.page);
      return kExitUsage;
    }
    Write(Header(*format, *table, titles));
    Write(page_text);
  }
  if (*format == RowFormat::kJsonArray) Write(count == 0 ? "]\n" : "\n]\n");
  const std::optional<uint64_t> catalog_rows = table->rowCount;
  if (*format == RowFormat::kJsonObject) {
    std::string page = options.all ? "null" : std::to_string(options.page);
    Write("],\"catalog_row_count\":" +
          (catalog_rows ? std::to_string(*catalog_rows) : std::string("null")) + ",\"page\":" + page +
          ",\"page_count\":" + std::to_string(page_count) + ",\"row_count\":" +
          std::to_string(count) + "}\n");
  } else if (options.all) {
    Note("%llu rows, %u grid pages\n", static_cast<unsigned long long>(count), page_count);
  } else {
    Note("grid page %d of %u: %llu rows\n", options.page, page_count,
         static_cast<unsigned long long>(count));
  }
  std::fflush(stdout);
  // Every row was asked for: fewer than the catalog counts is a loss, and
  // so are pages the file lacks.
  if (!options.all) return kExitComplete;
  const bool lacks_pages = TellFileGaps(StoreGaps(db.Store()));
  const bool catalog_damaged = TellCatalogDamage(db.catalog);
  const bool gaps = lacks_pages || catalog_damaged;
  if (count < catalog_rows) {
    Error("incomplete: %s: %llu of %llu rows recovered\n", table->fullName.c_str(),
          static_cast<unsigned long long>(count), static_cast<unsigned long long>(*catalog_rows));
    return kExitLosses;
  }
  return gaps ? kExitLosses : kExitComplete;
}

}  // namespace

int RunRows(const RowsOptions& options) {
  std::optional<VersionChoice> version = ParseVersionChoice(options.version);
  if (!version) {
    Error("unknown server version %s (2000, 2005 to 2025, or auto)\n", options.version.c_str());
    return kExitUsage;
  }
  std::optional<RowFormat> format = ChosenFormat(options);
  if (!format) {
    Error("--format is tsv, csv or json (and not given with --json)\n");
    return kExitUsage;
  }
  const TableChoice& choice = options.choice;
  if (!choice.Narrowed()) {
    Error("name the table with --table (or its schema with --schema)\n");
    return kExitUsage;
  }
  if (!options.all && options.page < 1) {
    Error("--page counts from 1\n");
    return kExitUsage;
  }
  // Rows go to stdout: appending them to the input itself is refused.
  if (RefuseStdoutOverInput(options.files)) return kExitUsage;
  CliMessages messages;
  CMdfDatabase db(messages);
  WorkLog log;
  std::optional<VersionSetting> opened = RunOpenFlow(db, options.files, *version, log);
  if (!opened) return kExitCannotRead;
  std::optional<std::vector<uint32_t>> ids = ChooseTables(db.catalog, choice);
  if (!ids) return kExitNoSuchTable;
  // Several tables: each listed in turn, the text forms after a line naming
  // the table; the worst exit code stands.
  int exit_code = kExitComplete;
  for (uint32_t id : *ids) {
    const TableInfo& table = db.catalog.tables.at(id);
    if (ids->size() > 1 && (*format == RowFormat::kTsv || *format == RowFormat::kCsv))
      Write((id == ids->front() ? "# " : "\n# ") + table.fullName + "\n");
    exit_code = std::max(exit_code, RowsOfTable(db, *opened, table, options, *format));
  }
  return exit_code;
}

}  // namespace tollamer::cli
