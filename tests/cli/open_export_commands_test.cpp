// `open` and `export-schema` run through the tollamer-cli binary; the
// checks every command shares: outputs that are the input, open failures,
// and the text of the real files through every output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include "engine/pagestore/iam_layout.h"
#include "engine/source/compressed_backup_layout.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/fixtures/page_builder.h"
#include "tests/fixtures/sample_database.h"
#include "tests/fixtures/tools_fixtures.h"
#include "tests/fixtures/user_rows_database.h"
#include "tests/test_support.h"

namespace tollamer {
namespace {

// The 2008 sample without user objects: an empty catalog.
const fixtures::SampleSpec kNoUserObjects{fixtures::FormatVersion::kSql2008, 64, false};

namespace fs = std::filesystem;

using testing::Cli;
using CliResult = testing::CommandResult;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// The six files export-schema writes, in the order it names them.
constexpr const char* kSchemaFiles[] = {"AllTable.sql", "AllViews.sql", "AllProcs.sql",
                                        "AllFun.sql",   "AllUtype.sql", "AllTriggers.sql"};
std::string SchemaFileLines(const std::string& out) {
  std::string lines;
  for (const char* name : kSchemaFiles) lines += out + "/" + name + "\n";
  return lines + out + "/Database.sql\n";
}

// The log of a file without user tables, on stdout and saved as a report,
// and its schema export.
TEST(OpenCommandTest, LogAndSchemaOfAFileWithNoUserTables) {
  testing::TempDir dir;
  std::string path = dir.Write("s.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  CliResult r = Cli("open " + path + " --server-version 2005");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  // The log's lines are the open log's (its tests); here they reach stdout and the report.
  EXPECT_NE(r.out.find("Total table(s) present  :0\r\n\r\n\r\nRepair process completed on"),
            std::string::npos) << r.out;

  ASSERT_EQ(Cli("open " + path + " --log " + dir.File("r.log")).exitCode, 0);
  EXPECT_NE(testing::ReadText(dir.File("r.log")).find("Total table(s) present  :0\r\n"), std::string::npos);

  dir.Write("plain", {1});
  CliResult failed = Cli("open " + path + " --log " + dir.File("plain") + "/r.log", true);
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_NE(failed.out.find("cannot write the report"), std::string::npos) << failed.out;

  // export-schema of the empty catalog: six files holding only their
  // byte-order mark, and Database.sql, in a folder it makes.
  CliResult schema = Cli("export-schema " + path + " --server-version 2005 --out " + dir.File("out"));
  ASSERT_EQ(schema.exitCode, 0);
  std::string out = dir.File("out");
  EXPECT_EQ(schema.out, SchemaFileLines(out));
  for (const char* name : kSchemaFiles)
    EXPECT_EQ(testing::ReadText(fs::path(out) / name), "\xEF\xBB\xBF") << name;
  CliResult not_folder = Cli("export-schema " + path + " --out " + dir.File("plain"), true);
  EXPECT_EQ(not_folder.exitCode, 1);
  EXPECT_NE(not_folder.out.find("plain is not a folder"), std::string::npos) << not_folder.out;
}

// Every command that writes refuses an output that reaches its input, by
// the same path, a hard or symbolic link, or a detour through "..", and the
// input is left as it was.
TEST(OutputOverInputTest, EveryWritingCommandRefusesItsInput) {
  testing::TempDir dir;
  const std::string mdf = dir.Write(
      "v.mdf", fixtures::user_rows::BuildEveryTypeDatabase2000().file.Image());
  const std::string bak = dir.Write(
      "v.bak", fixtures::BuildCarvableDatabase(fixtures::FormatVersion::kSql2000, 36).BackupImage(0x1A00));
  fs::create_hard_link(mdf, dir.File("hard.mdf"));
  fs::create_symlink(mdf, dir.File("soft.mdf"));
  fs::create_directory(dir.File("sub"));
  const std::string hard = dir.File("hard.mdf"), soft = dir.File("soft.mdf");
  const std::string detour = dir.File("sub/../v.mdf");
  // An input named as the export of its own table, in the output folder.
  fs::create_directory(dir.File("out"));
  const std::string named = dir.File("out/dbo.everytype.csv");
  fs::copy_file(mdf, named);

  const std::string cli = TOLLAMER_CLI_PATH;
  const struct {
    std::string args, input;
  } cases[] = {
      {cli + " bak2mdf " + bak + " " + bak, bak},
      {cli + " detect " + mdf + " --map " + mdf, mdf},
      {cli + " open " + mdf + " --log " + hard, mdf},
      {cli + " excavate " + mdf + " --csv " + soft, mdf},
      {cli + " excavate " + mdf + " --extract 0 --out " + detour, mdf},
      {cli + " import " + mdf + " --to sqlite:" + hard, mdf},
      {cli + " export-data " + mdf + " --out " + soft, mdf},
      {cli + " export-data " + named + " --server-version 2000 --force --out " + dir.File("out"), named},
      {cli + " export-schema " + mdf + " --out " + mdf, mdf},
      {"{ " + cli + " rows " + mdf + " everytype --server-version 2000 >> " + detour + "; }", mdf},
  };
  for (const auto& c : cases) {
    const testing::FileSnapshot before = testing::FileSnapshot::Of(c.input);
    CliResult r = testing::RunCommand(c.args, true);
    EXPECT_EQ(r.exitCode, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("input"), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_TRUE(testing::FileSnapshot::Of(c.input) == before) << c.args;
  }
}

// A second run refuses before writing anything when an output of the
// first exists, naming it and --force; with --force it replaces it.
TEST(NoClobberTest, EveryWritingCommandRefusesAnExistingOutputUnlessForced) {
  testing::TempDir dir;
  const fixtures::FileBuilder sample = fixtures::BuildSampleDatabase({});
  const std::string mdf = dir.Write("s.mdf", sample.Image());
  const std::string bak = dir.Write("s.bak", sample.BackupImage(0x1A00));
  const struct {
    std::string args, output, named;
  } cases[] = {
      {"export-data " + mdf + " --deleted --out " + dir.File("csv"), dir.File("csv/dbo.titles.csv"), ""},
      {"export-data " + mdf + " --table titles --out - --report " + dir.File("r.json"), dir.File("r.json"), ""},
      {"import " + mdf + " --to sqlite:" + dir.File("i.db"), dir.File("i.db"), "table dbo_"},
      {"export-schema " + mdf + " --out " + dir.File("sql"), dir.File("sql/AllTable.sql"), ""},
      {"bak2mdf " + bak + " " + dir.File("b.mdf"), dir.File("b.mdf"), ""},
      {"open " + mdf + " --log " + dir.File("r.log"), dir.File("r.log"), ""},
      {"detect " + mdf + " --map " + dir.File("m.png"), dir.File("m.png"), ""},
      {"excavate " + mdf + " --extract 0 --out " + dir.File("x.mdf"), dir.File("x.mdf"), ""},
  };
  for (const auto& c : cases) {
    const int first = Cli(c.args, true).exitCode;
    ASSERT_TRUE(first == 0 || first == 3) << c.args;
    const testing::FileSnapshot before = testing::FileSnapshot::Of(c.output);
    CliResult again = Cli(c.args, true);
    EXPECT_EQ(again.exitCode, 2) << c.args << "\n" << again.out;
    EXPECT_NE(again.out.find((c.named.empty() ? c.output : c.named)), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("exists: give --force to replace it"), std::string::npos) << again.out;
    EXPECT_TRUE(testing::FileSnapshot::Of(c.output) == before) << c.args;
    EXPECT_EQ(Cli(c.args + " --force", true).exitCode, first) << c.args;
  }
  // The report: the table's figures and the exit code with the lines stderr gave.
  const std::string report = testing::ReadText(dir.File("r.json"));
  EXPECT_NE(report.find("\"name\": \"dbo.titles\", \"target\": \"-\", \"outcome\": \"short\", "
                        "\"written\": 0, \"expected\": 18, \"suspect\": 0, \"deleted\": null, "
                        "\"pages\": 1, \"pages_skipped\": 0, \"reasons\": [\"0 rows recovered of 18 counted\", "
                        "\"1 records undecodable\"]}"),
            std::string::npos) << report;
  EXPECT_NE(report.find("\"exit_code\": 3, \"exit_reasons\": [\"dbo.titles: 0 rows recovered of 18 "
                        "counted (1 records undecodable)\", "),
            std::string::npos) << report;
}

// Why a file could not be opened, told apart by every command that opens
// one, in English; a file with no page of a data file at all is refused.
TEST(OpenFailureTest, EachKindIsNamedAndExitsWithOne) {
  testing::TempDir dir;
  fs::create_directory(dir.File("folder"));
  const std::string held = dir.Write("held.mdf", fixtures::BuildSampleDatabase(kNoUserObjects).Image());
  platform::OpenResult holder = platform::OpenReadOnlyExclusive(held);
  ASSERT_NE(holder.file, nullptr);
  std::mt19937 random(7);
  fixtures::Bytes noise(64 * 1024);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  const std::string text(20000, 'x');
  const struct {
    std::string path, said;
  } cases[] = {
      {dir.File("missing.mdf"), "no such file"},
      {dir.File("folder"), "not a file"},
      {held, "in use by another program"},
      {dir.Write("empty.mdf", {}), "not a recognised data or backup file"},
      {dir.Write("noise.mdf", noise), "not a recognised data or backup file"},
      {dir.Write("text.mdf", fixtures::Bytes(text.begin(), text.end())),
       "not a recognised data or backup file"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> commands = {
        "info", "catalog", "open", "export-data --out " + dir.File("o"),
        "import --to sqlite:" + dir.File("i.db"), "export-schema --out " + dir.path().string()};
    for (const std::string& command : commands) {
      CliResult r = Cli(command + " " + c.path, true);
      EXPECT_EQ(r.exitCode, 1) << command << " " << c.path << "\n" << r.out;
      EXPECT_NE(r.out.find(c.said), std::string::npos) << command << " " << c.path << "\n" << r.out;
      EXPECT_EQ(r.out.find("占用"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("0 tables"), std::string::npos) << r.out;
    }
  }
  // The log of a failed open keeps the start entries and the reason only.
  CliResult log = Cli("open " + dir.File("missing.mdf"));
  EXPECT_NE(log.out.find("Scanning file...\r\n\r\nCannot open the file: no such file"),
            std::string::npos) << log.out;
  EXPECT_EQ(log.out.find("Total table(s)"), std::string::npos) << log.out;
  EXPECT_EQ(log.out.find("completed"), std::string::npos) << log.out;
}

// Damaged copies of real files: what did not come out is named on stderr
// and the exit code says the job was incomplete.
TEST(DataLossTest, DamagedCopiesReportTheirLossesAndExitWithThree) {
  TOLLAMER_REQUIRE_REAL_FILE(pubs2000, "pubs-sql2000.mdf");
  TOLLAMER_REQUIRE_REAL_FILE(pubs2008, "pubs-sql2008.mdf");
  TOLLAMER_REQUIRE_REAL_FILE(banking, "banking-sql2019.bak");
  const fixtures::Bytes healthy2000 = testing::FileSnapshot::Of(pubs2000).bytes;
  const fixtures::Bytes healthy2008 = testing::FileSnapshot::Of(pubs2008).bytes;
  std::mt19937 random(11);
  // Page header: type at 0x01, m_objId at 0x18; noise over the page or its body.
  auto noise = [&](fixtures::Bytes file, auto chosen, size_t from) {
    for (size_t page = 0; page < file.size() / 8192; ++page) {
      const uint8_t* p = file.data() + page * 8192;
      const uint32_t owner = p[0x18] | p[0x19] << 8 | p[0x1A] << 16 | uint32_t{p[0x1B]} << 24;
      if (!chosen(page, p[1], owner)) continue;
      for (size_t i = from; i < 8192; ++i) file[page * 8192 + i] = static_cast<uint8_t>(random());
    }
    return file;
  };
  const size_t publishers = std::string(healthy2008.begin(), healthy2008.end()).find("New Moon Books") / 8192;
  testing::TempDir dir;
  const struct {
    std::string path, said;
  } cases[] = {
      // SQL 2000 syscolumns (object 3) data pages: every table's columns lost.
      {dir.Write("cols.mdf", noise(healthy2000, [](size_t, uint8_t type, uint32_t owner) {
         return type == 1 && owner == 3; }, 0)),
       "dbo.authors: its column definitions are lost: rows written as raw bytes"},
      // The whole publishers page, header included: no page of it is left.
      {dir.Write("gone.mdf", noise(healthy2008, [&](size_t page, uint8_t, uint32_t) {
         return page == publishers; }, 0)),
       "dbo.publishers: skipped (no data pages found)"},
      // The rows of the publishers page: the catalog still counts 8.
      {dir.Write("rows.mdf", noise(healthy2008, [&](size_t page, uint8_t, uint32_t) {
         return page == publishers; }, 96)),
       "dbo.publishers: 0 rows recovered of 8 counted"},
      // Cut to 60%, and a backup without its first quarter.
      {dir.Write("cut.mdf", fixtures::Bytes(healthy2008.begin(), healthy2008.begin() + 172 * 8192)),
       "incomplete: the file is cut short: 116 pages missing"},
      {dir.Write("headless.bak", [&] {
         const fixtures::Bytes b = testing::FileSnapshot::Of(banking).bytes;
         return fixtures::Bytes(b.begin() + b.size() / 4 / 512 * 512, b.end()); }()),
       "incomplete: the backup's head is missing"},
  };
  for (const auto& c : cases) {
    for (const std::string& command : {"export-data --force --out " + dir.File("csv"),
                                       "import --to sqlite:" + c.path + ".db"}) {
      CliResult r = Cli(command + " " + c.path, true);
      EXPECT_EQ(r.exitCode, 3) << command << " " << c.path << "\n" << r.out;
      EXPECT_NE(r.out.find("tollamer-cli: " + c.said), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("tollamer-cli: incomplete: "), std::string::npos) << r.out;
      // The engine's stopping messages (a damaged system index) in English.
      EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char ch) { return ch > 0; })) << r.out;
    }
  }
  // SQL 2008 sysallocunits (allocation unit 7) all noise: the pages are
  // found by their headers and every row comes back.
  const std::string units = dir.Write("units.mdf", noise(healthy2008, [](size_t, uint8_t type, uint32_t owner) {
    return type == 1 && owner == 7; }, 0));
  CliResult recovered = Cli("export-data --out " + dir.File("units") + " " + units, true);
  EXPECT_EQ(recovered.exitCode, 0) << recovered.out;
  EXPECT_NE(recovered.out.find("255 rows written"), std::string::npos) << recovered.out;
  CliResult rows = Cli("rows --all --json " + cases[2].path + " dbo.publishers", true);
  EXPECT_EQ(rows.exitCode, 3) << rows.out;
  EXPECT_NE(rows.out.find("\"catalog_row_count\":8,"), std::string::npos) << rows.out;
  CliResult schema = Cli("export-schema " + cases[0].path + " --kind tables --out " + dir.path().string(), true);
  EXPECT_EQ(schema.exitCode, 3) << schema.out;
  EXPECT_NE(testing::ReadText(dir.File("AllTable.sql")).find("-- [dbo].[authors]: its columns are lost"),
            std::string::npos);
  EXPECT_EQ(testing::ReadText(dir.File("AllTable.sql")).find("( )"), std::string::npos);
}

// The real files through the binary: the six files, tables in the order of
// the log's table lines, and the one-object file of a table with its key.
TEST(ExportSchemaCommandTest, RealFiles) {
  for (const char* name : {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf"}) {
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    testing::TempDir dir;
    const std::string out = dir.path().string();
    CliResult log = Cli("open " + Quote(path));
    CliResult r = Cli("export-schema " + Quote(path) + " --out " + out);
    ASSERT_EQ(r.exitCode, 0) << name;
    EXPECT_EQ(r.out, SchemaFileLines(out)) << name;
    std::string tables;
    std::regex logged("\r\n([^\r\n.]+)\\.([^\r\n]+) : \\(\\d+ Records?\\)(?=\r\n)");
    for (std::sregex_iterator it(log.out.begin(), log.out.end(), logged), e; it != e; ++it)
      tables += "CREATE TABLE [" + (*it)[1].str() + "].[" + (*it)[2].str() + "]\r\n";
    std::string scripted;
    std::string all = testing::ReadText(fs::path(out) / "AllTable.sql");
    std::regex created("CREATE TABLE [^\r]+\r\n");
    for (std::sregex_iterator it(all.begin(), all.end(), created), e; it != e; ++it)
      scripted += it->str();
    EXPECT_NE(tables.find("[dbo].[titles]"), std::string::npos) << log.out;
    EXPECT_EQ(scripted, tables) << name;
    // The statements are the schema export's (its real file test).
    CliResult one = Cli("export-schema " + Quote(path) + " --out " + out +
                        " --kind tables --object dbo.jobs");
    ASSERT_EQ(one.exitCode, 0) << name;
    std::string jobs = testing::ReadText(fs::path(out) / "dbo.jobs(TableStruct).sql");
    EXPECT_EQ(jobs.rfind("\xEF\xBB\xBF" "CREATE TABLE [dbo].[jobs]\r\n(\r\n", 0), 0u) << jobs;
    EXPECT_NE(jobs.find("] PRIMARY KEY CLUSTERED ([job_id])\r\nGO\r\n"), std::string::npos);
    // A trigger is found by its name as a table is.
    CliResult trigger = Cli("export-schema " + Quote(path) + " --out " + out +
                            " --kind triggers --object employee_insupd");
    ASSERT_EQ(trigger.exitCode, 0) << name << trigger.out;
    EXPECT_NE(testing::ReadText(fs::path(out) / "dbo.employee_insupd(Trigger).sql")
                  .find("CREATE TRIGGER employee_insupd\r\n"),
              std::string::npos);
  }
}

// The pubs files keep München's ü in three ways: as 0x81 in publishers
// (pubs installed through an ANSI-to-OEM converting client: code page 850
// bytes in a 1252 column) in the 2000 and 2008 files, as 0xFC (1252) in the
// 2005 file and in pub_info's text. Every output gives "München", and
// every output is valid UTF-8.
TEST(TextOutputRealFileTest, PubsTextIsUtf8InEveryOutput) {
  for (const char* name : {"pubs-sql2000.mdf", "pubs-sql2005.mdf", "pubs-sql2008.mdf"}) {
    SCOPED_TRACE(name);
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    testing::TempDir dir;
    const fs::path out = dir.path();
    const std::string file = Quote(path);
    for (const char* format : {"tsv", "csv", "json"}) {
      CliResult rows = Cli("rows " + file + " --table dbo.publishers --all --format " + format);
      ASSERT_EQ(rows.exitCode, 0) << format;
      EXPECT_NE(rows.out.find("München"), std::string::npos) << rows.out;
      EXPECT_TRUE(testing::IsValidUtf8(rows.out)) << format;
    }
    CliResult catalog = Cli("catalog " + file + " --json");
    ASSERT_EQ(catalog.exitCode, 0);
    EXPECT_TRUE(testing::IsValidUtf8(catalog.out));
    ASSERT_EQ(Cli("export-schema " + file + " --out " + out.string()).exitCode, 0);
    for (const std::string format : {"csv", "sql"}) {
      const fs::path data = out / format;
      fs::create_directory(data);
      ASSERT_EQ(Cli("export-data " + file + " --out " + data.string() + " --format " + format)
                    .exitCode, 0);
      std::string publishers;
      for (const auto& entry : fs::directory_iterator(data))
        if (entry.path().filename().string().starts_with("dbo.publishers"))
          publishers = testing::ReadText(entry.path());
      EXPECT_NE(publishers.find("München"), std::string::npos) << format;
    }
    ASSERT_EQ(Cli("import " + file + " --to sqlite:" + (out / "p.db").string()).exitCode, 0);
    EXPECT_NE(testing::ReadText(out / "p.db").find("München"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file() || entry.path().extension() == ".db") continue;
      EXPECT_TRUE(testing::IsValidUtf8(testing::ReadText(entry.path()))) << entry.path();
    }
  }
}


// ---------------------------------------------------------------------------
// The real files of the shared data folder through export-data, checked
// against what their catalogs record and against the scripts that filled
// two of them.

// The CSV records of an export file (RFC 4180): a field written without
// quotes and empty is NULL, "" is empty text.
using CsvRecord = std::vector<std::optional<std::string>>;
std::vector<CsvRecord> ParseCsv(const std::string& text) {
  std::vector<CsvRecord> records;
  CsvRecord record;
  for (size_t i = 0; i < text.size();) {
    std::optional<std::string> field;
    if (text[i] == '"') {
      field.emplace();
      for (++i; i < text.size() && (text[i] != '"' || text.compare(i, 2, "\"\"") == 0); ++i)
        *field += text[i] == '"' ? text[++i] : text[i];
      ++i;  // the closing quote
    } else {
      const size_t end = std::min(text.find_first_of(",\r\n", i), text.size());
      if (end > i) field = text.substr(i, end - i);
      i = end;
    }
    record.push_back(std::move(field));
    if (i < text.size() && text[i] == ',') {
      ++i;
      continue;
    }
    i += text.compare(i, 2, "\r\n") == 0 ? 2 : 1;  // the record's line break
    records.push_back(std::move(record));
    record.clear();
  }
  return records;
}

// A table of the catalog as `catalog --json` lists it.
struct CatalogTable {
  std::string name;
  std::optional<uint64_t> rows;  // null in the JSON: the file no longer holds the count
};

std::vector<CatalogTable> CatalogTables(const std::string& json) {
  std::vector<CatalogTable> tables;
  std::regex table("\\{\"id\":-?\\d+,\"schema\":\"[^\"]*\",\"name\":\"((?:[^\"\\\\]|\\\\.)*)\",\"rows\":(\\d+|null)");
  const size_t end = json.find("],\n\"views\":");
  const std::string part = json.substr(0, end);
  for (std::sregex_iterator it(part.begin(), part.end(), table), e; it != e; ++it)
    tables.push_back({(*it)[1].str(), (*it)[2].str() == "null"
                                          ? std::nullopt
                                          : std::optional<uint64_t>(std::stoull((*it)[2].str()))});
  return tables;
}

// Every object name of the catalog: tables, views, procedures, functions, types.
std::vector<std::string> CatalogObjectNames(const std::string& json) {
  std::vector<std::string> names;
  std::regex object("\\{(?:\"id\":-?\\d+,)?\"schema\":\"[^\"]*\",\"name\":\"((?:[^\"\\\\]|\\\\.)*)\"");
  for (std::sregex_iterator it(json.begin(), json.end(), object), e; it != e; ++it)
    names.push_back((*it)[1].str());
  return names;
}

// The per-table lines of export-data: "dbo.X: N rows" and what follows.
std::map<std::string, std::string> ExportLines(const std::string& out) {
  std::map<std::string, std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("tollamer-cli: ")) continue;
    const size_t colon = line.rfind(": ");
    if (colon != std::string::npos && colon > 0) lines[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return lines;
}

std::vector<CsvRecord> ExportedRecords(const fs::path& dir, const std::string& table) {
  const fs::path file = dir / (table + ".csv");
  if (!fs::exists(file)) return {};
  std::vector<CsvRecord> records = ParseCsv(testing::ReadText(file));
  if (!records.empty()) records.erase(records.begin());  // column names
  return records;
}

// Every row of the main CSV files of an export (not the suspect or deleted
// rows), by file.
std::multiset<std::pair<std::string, CsvRecord>> MainRows(const fs::path& dir) {
  std::multiset<std::pair<std::string, CsvRecord>> rows;
  if (!fs::exists(dir)) return rows;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".csv") || name.ends_with(".suspect.csv") || name.ends_with(".deleted.csv"))
      continue;
    std::vector<CsvRecord> records = ParseCsv(testing::ReadText(entry.path()));
    for (size_t i = 1; i < records.size(); ++i) rows.insert({name, records[i]});
  }
  return rows;
}

// Where the page images of a data file or a backup lie: every 8 KiB of a
// data file; in a backup, sector-aligned images whose header says version 1
// of file 1 and a known type.
std::vector<size_t> PageImages(const fixtures::Bytes& file, bool backup) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 8192 <= file.size();) {
    const uint8_t* h = file.data() + i;
    const bool image = h[0] == 1 && h[1] >= 1 && h[1] <= 17 && h[0x24] == 1 && h[0x25] == 0;
    if (!backup || image) {
      at.push_back(i);
      i += 8192;
    } else {
      i += 512;
    }
  }
  return at;
}

// The data page image (type 1) holding `marker`.
size_t DataPageHolding(const fixtures::Bytes& file, bool backup, const std::string& marker) {
  for (size_t at : PageImages(file, backup)) {
    const auto page = file.begin() + static_cast<ptrdiff_t>(at);
    if (file[at + 1] == 1 && std::search(page, page + 8192, marker.begin(), marker.end()) != page + 8192)
      return at;
  }
  return SIZE_MAX;
}

std::string Wide(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

// Ten kinds of damage on copies of a data file and of a backup whose pages
// carry checksums: a loss is never reported as success, no row of a damaged
// page reaches a table's main CSV file, and the rows of a page failing its
// checksum or naming another page are kept in the table's suspect file. A
// catalog page failing its checksum, though its records read the same, is
// a loss too: for the rows and for the schema scripts. An IAM page whose
// slot names another table's page (its checksum made again) costs nothing:
// the table's pages are found by their headers.
TEST(DataLossTest, TenKindsOfDamageNeverPassDamagedRowsOffAsGood) {
  struct File {
    const char* name;
    std::string victim, other;  // markers of a data page and of another table's
    std::string victimTable;
    size_t victimRows;  // rows of the victim page
  };
  for (const File& f : {File{"pubs-sql2008.mdf", "New Moon Books", "The Busy Executive",
                             "dbo.publishers", 8},
                        File{"banking-sql2019.bak", Wide("TOM@G.COM"), Wide("20240626161840_UserTable"),
                             "dbo.AspNetUsers", 5}}) {
    SCOPED_TRACE(f.name);
    TOLLAMER_REQUIRE_REAL_FILE(path, f.name);
    const fixtures::Bytes healthy = testing::FileSnapshot::Of(path).bytes;
    const bool backup = std::string(f.name).ends_with(".bak");
    const size_t victim = DataPageHolding(healthy, backup, f.victim);
    const size_t other = DataPageHolding(healthy, backup, f.other);
    // The system table page naming the victim table (names are nvarchar).
    const size_t names = DataPageHolding(healthy, backup, Wide(f.victimTable.substr(4)));
    ASSERT_NE(victim, SIZE_MAX);
    ASSERT_NE(other, SIZE_MAX);
    ASSERT_NE(names, SIZE_MAX);
    testing::TempDir dir;
    ASSERT_EQ(Cli("export-data " + Quote(path) + " --out " + dir.File("healthy")).exitCode, 0);
    const auto healthy_rows = MainRows(dir.File("healthy"));
    std::mt19937 random(27);
    auto page = [&](fixtures::Bytes& b, size_t at) { return b.begin() + static_cast<ptrdiff_t>(at); };
    using Damage = std::function<fixtures::Bytes(fixtures::Bytes)>;
    const struct {
      const char* kind;
      Damage damage;
      bool loss;            // exit 3; false: the open of a partial file tells it
      size_t suspectRows;   // this many in the victim table's suspect file
    } kinds[] = {
        {"page zeroed", [&](fixtures::Bytes b) { std::fill_n(page(b, victim), 8192, 0); return b; }, true, 0},
        {"page of random bytes", [&](fixtures::Bytes b) {
           std::generate_n(page(b, victim), 8192, [&] { return static_cast<uint8_t>(random()); });
           return b; }, true, 0},
        {"16 bits flipped", [&](fixtures::Bytes b) {
           for (int i = 0; i < 16; ++i) b[victim + 96 + random() % 8000] ^= static_cast<uint8_t>(1 << (random() % 8));
           return b; }, true, f.victimRows},
        {"page of another table", [&](fixtures::Bytes b) {
           std::copy_n(page(b, other), 8192, page(b, victim)); return b; }, true, 0},
        {"text/image pages zeroed", [&](fixtures::Bytes b) {
           for (size_t at : PageImages(healthy, backup))
             if (healthy[at + 1] == 3 || healthy[at + 1] == 4) std::fill_n(page(b, at), 8192, 0);
           return b; }, true, 0},
        {"cut to 60%", [&](fixtures::Bytes b) { b.resize(b.size() * 6 / 10 / 512 * 512); return b; }, true, 0},
        {"head lost or junk before it", [&](fixtures::Bytes b) {
           if (backup) b.erase(b.begin(), b.begin() + static_cast<ptrdiff_t>(b.size() / 4 / 512 * 512));
           else b.insert(b.begin(), 3000, uint8_t{0x5A});
           return b; }, false, 0},
        {"2000 bytes sprayed", [&](fixtures::Bytes b) {
           for (int i = 0; i < 2000; ++i) b[random() % b.size()] = static_cast<uint8_t>(random());
           return b; }, true, 0},
        {"a catalog page's free byte changed", [&](fixtures::Bytes b) {
           b[names + (b[names + 0x1E] | b[names + 0x1F] << 8)] ^= 0x5A;
           return b; }, true, 0},
        {"a slot of the victim's IAM page naming the other page", [&](fixtures::Bytes b) {
           // (The 2019 backup gives every table uniform extents: no slot names a page.)
           if (backup) return b;
           size_t changed = 0;
           for (size_t at : PageImages(healthy, backup)) {
             using namespace iam_layout;
             if (b[at + page_layout::kType] != static_cast<uint8_t>(page_layout::PageType::kIam)) continue;
             for (size_t s = 0; s < kSinglePageSlotCount; ++s) {
               const size_t slot = at + kSinglePageSlots + s * page_layout::kPagePointerSize;
               if (!std::equal(page(b, slot), page(b, slot + 4), page(b, victim + page_layout::kPageId)))
                 continue;
               fixtures::Bytes iam(page(b, at), page(b, at + 8192));
               std::copy_n(page(b, other + page_layout::kPageId), 4, iam.begin() + static_cast<ptrdiff_t>(slot - at));
               fixtures::ApplyChecksum(iam);
               std::copy(iam.begin(), iam.end(), page(b, at));
               ++changed;
             }
           }
           EXPECT_EQ(changed, 1u) << "the victim page is a single page of one IAM page";
           return b; }, false, 0},
    };
    for (const auto& k : kinds) {
      SCOPED_TRACE(k.kind);
      const std::string copy = dir.Write(std::string("damaged") + (backup ? ".bak" : ".mdf"), k.damage(healthy));
      fs::remove_all(dir.File("out"));
      CliResult r = Cli("export-data " + Quote(copy) + " --out " + dir.File("out"), true);
      if (k.loss) {
        EXPECT_EQ(r.exitCode, 3) << r.out;
      }
      const auto rows = MainRows(dir.File("out"));
      for (auto it = rows.begin(); it != rows.end(); it = rows.upper_bound(*it))
        EXPECT_LE(rows.count(*it), healthy_rows.count(*it))
            << it->first << " holds a row the healthy file lacks";
      if (k.suspectRows) {
        EXPECT_EQ(ExportedRecords(dir.File("out"), f.victimTable + ".suspect").size(), k.suspectRows)
            << r.out;
      }
      if (std::string(k.kind).starts_with("a slot")) {
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_EQ(rows, healthy_rows);
      }
      if (std::string(k.kind).starts_with("a catalog page")) {
        EXPECT_NE(r.out.find("the catalog was read from 1 damaged page"), std::string::npos) << r.out;
        EXPECT_EQ(Cli("export-schema " + Quote(copy) + " --out " + dir.File("schema") + " --force").exitCode, 3);
        EXPECT_EQ(rows, healthy_rows);
      }
    }
  }
}

// Every complete database of the folder (data files, whole backups, both
// stripes of the restoretime backup in either order; not single stripes nor
// the secondary file): each table exports the rows its catalog counts, CSV
// records included; the catalog holds no system object and no table the
// catalog could only name by its id.
TEST(RealDataExportTest, EveryTableOfEveryCompleteFileExportsItsCatalogRowCount) {
  TOLLAMER_REQUIRE_REAL_FILE(manifest, "MANIFEST.tsv");
  TOLLAMER_REQUIRE_REAL_FILE(stripe1, "restoretime-sql2008r2-stripe1of2.bak");
  TOLLAMER_REQUIRE_REAL_FILE(stripe2, "restoretime-sql2008r2-stripe2of2.bak");
  std::vector<std::string> inputs = {Quote(stripe1) + " " + Quote(stripe2),
                                     Quote(stripe2) + " " + Quote(stripe1)};
  for (const testing::ManifestEntry& entry : testing::RealDataManifest()) {
    const std::string& name = entry.file;
    if (name.ends_with(".ndf") || name.find("-stripe") != std::string::npos) continue;
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    inputs.push_back(Quote(path));
  }
  int files = 0;
  for (const std::string& path : inputs) {
    const std::string& name = path;
    SCOPED_TRACE(name);
    ++files;
    CliResult catalog = Cli("catalog " + path + " --json");
    ASSERT_EQ(catalog.exitCode, 0) << catalog.out;
    for (const std::string& object : CatalogObjectNames(catalog.out)) {
      EXPECT_FALSE(object.starts_with("sys.")) << object;
      EXPECT_FALSE(object.starts_with("INFORMATION_SCHEMA.")) << object;
    }
    const std::vector<CatalogTable> tables = CatalogTables(catalog.out);
    if (name.find("dnn-empty") != std::string::npos) EXPECT_TRUE(tables.empty());
    else EXPECT_FALSE(tables.empty());

    testing::TempDir dir;
    CliResult r = Cli("export-data " + path + " --out " + dir.File("csv"), true);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::map<std::string, std::string> lines = ExportLines(r.out);
    for (const CatalogTable& t : tables) {
      SCOPED_TRACE(t.name);
      EXPECT_FALSE(t.name.substr(t.name.find('.') + 1).starts_with("table_"));
      ASSERT_TRUE(t.rows) << "a complete file holds every count";
      const std::string rows = std::to_string(*t.rows) + (t.rows == 1u ? " row" : " rows");
      EXPECT_TRUE(lines.count(t.name) && lines.at(t.name).starts_with(rows))
          << "catalog counts " << *t.rows << ": " << r.out;
      EXPECT_EQ(ExportedRecords(dir.File("csv"), t.name).size(), *t.rows);
    }
  }
  EXPECT_GE(files, 22);
}

// The compressed backup: its 26 tables and 105,327 rows in place and through
// bak2mdf; a copy with a block's bytes changed loses that block's pages
// only, names the block and exits with 3, its head's "MSSQLBAK" and its
// first block damaged too.
TEST(RealDataExportTest, CompressedBackupConvertsAndADamagedBlockCostsOnlyItsPages) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "tsql2012-sql2016-compressed.bak");
  testing::TempDir dir;
  CliResult info = Cli("info " + Quote(path));
  EXPECT_EQ(info.exitCode, 0) << info.out;
  EXPECT_NE(info.out.find("compressed (MS_XPRESS), 120 blocks"), std::string::npos) << info.out;
  CliResult converted = Cli("bak2mdf " + Quote(path) + " " + dir.File("t.mdf"));
  EXPECT_EQ(converted.exitCode, 0) << converted.out;
  CliResult exported = Cli("export-data " + dir.File("t.mdf") + " --out " + dir.File("csv"), true);
  EXPECT_EQ(exported.exitCode, 0) << exported.out;
  EXPECT_NE(exported.out.find("26 tables, 105327 rows written"), std::string::npos) << exported.out;

  fixtures::Bytes bytes = testing::FileSnapshot::Of(path).bytes;
  bytes[0x6711 + 28 + 500] ^= 0xFF;  // inside the sixth block's stored bytes
  bytes[0] ^= 0xFF;                  // "MSSQLBAK"
  bytes[compressed_backup::kFirstRecord + compressed_backup::kHeaderSize +
        compressed_backup::kCheckSize + 100] ^= 0xFF;  // the first block's
  const std::string damaged = dir.Write("damaged.bak", bytes);
  for (const std::string& command : {"info " + damaged, "bak2mdf " + damaged + " " + dir.File("d.mdf"),
                                     "export-data " + damaged + " --out " + dir.File("dcsv")}) {
    CliResult r = Cli(command, true);
    EXPECT_EQ(r.exitCode, 3) << command << "\n" << r.out;
    EXPECT_NE(r.out.find("compressed block at byte 26413 does not decode"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("compressed block at byte 508 does not decode"), std::string::npos) << r.out;
  }
  EXPECT_NE(Cli("info " + damaged).out.find("missing:      8 allocated pages"), std::string::npos);
}

// One file of a backup striped over two: it opens, the tables whose pages
// it holds export all their rows, and the losses are told by the exit code
// (scan-tables', catalog's, export-schema's and bak2mdf's too) and the stripe
// not given is named.
TEST(RealDataExportTest, SingleStripesOpenExportWhatTheyHoldAndReportLosses) {
  for (const char* name : {"restoretime-sql2008r2-stripe1of2.bak", "restoretime-sql2008r2-stripe2of2.bak"}) {
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    testing::TempDir dir;
    CliResult r = Cli("export-data " + Quote(path) + " --out " + dir.File("csv"), true);
    EXPECT_EQ(r.exitCode, 3) << r.out;
    const bool first = std::string(name).find("stripe1") != std::string::npos;
    const std::string missing = std::string("stripe ") + (first ? "2" : "1") + " of 2 missing";
    EXPECT_NE(r.out.find(missing), std::string::npos) << r.out;
    CliResult scan = Cli("scan-tables " + Quote(path), true);
    EXPECT_EQ(scan.exitCode, 3) << "the other stripe's pages were not scanned\n" << scan.out;
    CliResult converted = Cli("bak2mdf " + Quote(path) + " " + dir.File("one.mdf"), true);
    EXPECT_EQ(converted.exitCode, 3) << converted.out;
    EXPECT_NE(converted.out.find(missing + " (a file of the striped backup not given)"), std::string::npos)
        << converted.out;
    for (const std::string& command : {"catalog " + Quote(path),
                                      "export-schema " + Quote(path) + " --out " + dir.File("sql")}) {
      CliResult schema = Cli(command, true);
      EXPECT_EQ(schema.exitCode, 3) << command << "\n" << schema.out;
      EXPECT_NE(schema.out.find(missing + " (a file of the striped backup not given): objects and "
                                          "columns on the missing pages are not found"),
                std::string::npos)
          << schema.out;
    }
  }
  for (const char* name : {"northwind-sql2014-stripe1of2.bak", "fooddelivery-sql2022-stripe1of2.bak"}) {
    SCOPED_TRACE(name);
    TOLLAMER_REQUIRE_REAL_FILE(path, name);
    CliResult catalog = Cli("catalog " + Quote(path) + " --json");
    ASSERT_EQ(catalog.exitCode, 3) << catalog.out;
    const std::vector<CatalogTable> tables = CatalogTables(catalog.out);
    EXPECT_GE(tables.size(), 6u);
    testing::TempDir dir;
    CliResult r = Cli("export-data " + Quote(path) + " --out " + dir.File("csv"), true);
    EXPECT_EQ(r.exitCode, 3) << r.out;
    const std::map<std::string, std::string> lines = ExportLines(r.out);
    for (const CatalogTable& t : tables) {
      SCOPED_TRACE(t.name);
      ASSERT_TRUE(lines.count(t.name)) << r.out;
      const std::string& line = lines.at(t.name);
      if (!t.rows || line.starts_with("skipped") ||
          line.find("the catalog counts") != std::string::npos)
        continue;
      EXPECT_TRUE(line.starts_with(std::to_string(*t.rows) + (t.rows == 1u ? " row" : " rows"))) << line;
      EXPECT_EQ(ExportedRecords(dir.File("csv"), t.name).size(), *t.rows);
    }
  }
}

// Two full backups appended to one file: info lists both, the last is read
// unless --backup-set picks the first, whose Students table held a row less.
TEST(RealDataExportTest, EachBackupSetOfAFileExportsItsOwnRows) {
  TOLLAMER_REQUIRE_REAL_FILE(path, "stdb-sql2005-two-backup-sets.bak");
  CliResult info = Cli("info " + Quote(path));
  EXPECT_NE(info.out.find("set 1: full backup of StDb2SQL, 2009-08-11 14:57:39, 194 pages"),
            std::string::npos) << info.out;
  EXPECT_NE(info.out.find("set 2: full backup of StDb2SQL, 2010-12-02 23:08:33, 200 pages"),
            std::string::npos) << info.out;
  for (const auto& [option, students] : {std::pair{"", "7 rows"}, {" --backup-set 2", "7 rows"},
                                         {" --backup-set 1", "6 rows"}}) {
    testing::TempDir dir;
    CliResult r = Cli("export-data " + Quote(path) + option + " --out " + dir.File("csv"));
    EXPECT_EQ(r.exitCode, 0) << option << r.out;
    EXPECT_TRUE(ExportLines(r.out)["dbo.Students"].starts_with(students)) << option << r.out;
  }
  testing::TempDir dir;
  EXPECT_EQ(Cli("export-data " + Quote(path) + " --backup-set 3 --out " + dir.File("csv")).exitCode, 1);
}

// A row an INSERT statement of a script gives: the table (last part of its
// name), the columns, and each value's text; NULL is empty.
struct ScriptedRow {
  std::string table;
  std::vector<std::string> columns;
  std::vector<std::optional<std::string>> values;
};

// The text of a script file: UTF-16LE (with its byte order mark, as SSMS
// saves) or UTF-8, given as UTF-8 without a byte order mark.
std::string ScriptText(const std::string& bytes) {
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
    return platform::Utf16LeToUtf8(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2));
  if (bytes.starts_with("\xEF\xBB\xBF")) return bytes.substr(3);
  return bytes;
}

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// The rows of the INSERT statements these scripts hold: INSERT [INTO] name
// (columns) VALUES (row)[, (row)...], the literals being N'..', '..',
// numbers, NULL and CAST(literal AS type). The text is read as tokens:
// quoted literals, bracketed or plain names, numbers and punctuation.
std::vector<ScriptedRow> ScriptedRows(const std::string& text) {
  static const std::regex token(
      R"([Nn]?'[^']*(?:''[^']*)*'|\[[^\]]*\]|[A-Za-z_]\w*|[-+]?[0-9][0-9.eE+-]*|[(),.])");
  std::vector<std::string> t;
  for (std::sregex_iterator it(text.begin(), text.end(), token), e; it != e; ++it) t.push_back(it->str());
  auto at = [&](size_t k) { return k < t.size() ? t[k] : std::string(); };
  // A name, bracketed or plain, possibly in parts: the last part.
  auto name = [&](size_t& k) {
    std::string part;
    do {
      part = at(k++);
      if (part.starts_with("[")) part = part.substr(1, part.size() - 2);
    } while (at(k) == "." && ++k);
    return part;
  };
  auto value = [&](size_t& k) -> std::optional<std::string> {
    std::string v = at(k++);
    if (Lower(v) == "cast") {  // the literal, then past "AS type)"
      v = at(++k);
      while (k < t.size() && at(k) != ")") ++k;
      ++k;
    }
    if (Lower(v) == "null") return std::nullopt;
    const size_t quote = v.find('\'');
    if (quote == std::string::npos) return v;
    std::string literal = v.substr(quote + 1, v.size() - quote - 2);
    for (size_t q = literal.find("''"); q != std::string::npos; q = literal.find("''", q + 1))
      literal.erase(q, 1);
    return literal;
  };
  std::vector<ScriptedRow> rows;
  for (size_t k = 0; k < t.size();) {
    if (Lower(t[k++]) != "insert") continue;
    ScriptedRow head;
    if (Lower(at(k)) == "into") ++k;
    head.table = name(k);
    if (at(k) != "(") continue;
    do head.columns.push_back(name(++k));
    while (at(k) == ",");
    if (at(k) != ")" || Lower(at(k + 1)) != "values") continue;
    for (k += 2; at(k) == "("; ++k) {
      ScriptedRow row = head;
      do row.values.push_back(value(++k));
      while (at(k) == ",");
      rows.push_back(std::move(row));
      if (at(++k) != ",") break;  // past ")": another row follows a comma
    }
  }
  return rows;
}

// Scripted and exported values agree as text, or as numbers where both are
// numbers (a float column exports 6 for the script's 6, 4.5 for 4.5).
bool SameValue(const std::optional<std::string>& scripted, const std::optional<std::string>& exported) {
  if (!scripted || !exported) return !scripted && !exported;
  if (*scripted == *exported) return true;
  char* end_a = nullptr;
  char* end_b = nullptr;
  const double a = std::strtod(scripted->c_str(), &end_a);
  const double b = std::strtod(exported->c_str(), &end_b);
  return !scripted->empty() && !exported->empty() && *end_a == 0 && *end_b == 0 && a == b;
}

std::string RowText(const std::vector<std::optional<std::string>>& values) {
  std::string out;
  for (const auto& v : values) out += (out.empty() ? "" : ", ") + (v ? "'" + *v + "'" : "NULL");
  return out;
}

// The backups whose scripts are in the data folder: every row a script
// inserts is in the export, value for value.
TEST(RealDataExportTest, EveryScriptedRowIsInTheExportOfItsBackup) {
  const struct {
    const char *backup, *script;
    size_t rows;  // the INSERT rows the script holds
  } cases[] = {{"thutuc-sql2014.bak", "scripts/thutuc-sql2014.sql", 18},
                        {"quanlysinhvien-sql2016.bak", "scripts/quanlysinhvien-sql2016.sql", 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.backup);
    TOLLAMER_REQUIRE_REAL_FILE(path, c.backup);
    const fs::path script = fs::path(testing::RealDataDir()) / c.script;
    if (!fs::exists(script)) GTEST_SKIP() << script << " is absent: skipping the scripted rows";
    const std::vector<ScriptedRow> scripted = ScriptedRows(ScriptText(testing::ReadText(script)));
    ASSERT_EQ(scripted.size(), c.rows);
    testing::TempDir dir;
    CliResult r = Cli("export-data " + Quote(path) + " --out " + dir.File("csv"), true);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::map<std::string, std::vector<CsvRecord>> exported;
    for (const ScriptedRow& row : scripted) {
      const std::string table = "dbo." + row.table;
      if (!exported.count(table))
        exported[table] = ParseCsv(testing::ReadText(fs::path(dir.File("csv")) / (table + ".csv")));
      const std::vector<CsvRecord>& records = exported[table];
      ASSERT_FALSE(records.empty()) << table << " not exported: " << r.out;
      const CsvRecord& header = records.front();
      std::vector<size_t> at;
      for (const std::string& column : row.columns) {
        auto it = std::find(header.begin(), header.end(), std::optional<std::string>(column));
        ASSERT_NE(it, header.end()) << table << " has no column " << column;
        at.push_back(static_cast<size_t>(it - header.begin()));
      }
      ASSERT_EQ(row.values.size(), at.size()) << table;
      const bool found = std::any_of(records.begin() + 1, records.end(), [&](const CsvRecord& rec) {
        for (size_t k = 0; k < at.size(); ++k)
          if (at[k] >= rec.size() || !SameValue(row.values[k], rec[at[k]])) return false;
        return true;
      });
      EXPECT_TRUE(found) << table << ": scripted row (" << RowText(row.values)
                         << ") is not in the export:\n" << testing::ReadText(fs::path(dir.File("csv")) / (table + ".csv"));
    }
  }
}

}  // namespace
}  // namespace tollamer
