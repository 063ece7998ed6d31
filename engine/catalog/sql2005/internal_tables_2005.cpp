#include "engine/catalog/sql2005/internal_tables_2005.h"

#include <array>
#include <string_view>

namespace tollamer::sql2005 {

namespace {

// The first three columns of each kind of internal table, as the server
// creates them.
constexpr std::array<std::array<std::string_view, 3>, 16> kLeadingColumns = {{
    {"status", "priority", "queuing_order"},                         // queue_messages_<id>
    {"oplsn_fseqno", "oplsn_bOffset", "oplsn_slotid"},               // filestream_tombstone_<id>
    {"table_id", "oplsn_fseqno", "oplsn_bOffset"},                   // filetable_updates_<id>
    {"commit_ts", "xdes_id", "commit_lbn"},                          // syscommittab
    {"sys_change_xdes_id", "sys_change_xdes_id_seq", "sys_change_operation"},  // change_tracking_<id>
    {"query_text_id", "query_sql_text", "statement_sql_handle"},     // plan_persist_query_text
    {"query_id", "query_text_id", "context_settings_id"},            // plan_persist_query
    {"plan_id", "query_id", "plan_group_id"},                        // plan_persist_plan
    {"runtime_stats_id", "plan_id", "runtime_stats_interval_id"},    // plan_persist_runtime_stats
    {"runtime_stats_interval_id", "start_time", "end_time"},         // ..._runtime_stats_interval
    {"context_settings_id", "set_options", "language_id"},           // plan_persist_context_settings
    {"wait_stats_id", "plan_id", "runtime_stats_interval_id"},       // plan_persist_wait_stats
    {"job_id", "name", "enabled"},                                   // sqlagent_jobs
    {"job_id", "step_id", "step_name"},                              // sqlagent_jobsteps
    {"instance_id", "job_id", "step_id"},                            // sqlagent_job_history
    {"log_id", "log_text", "date_created"},                          // sqlagent_jobsteps_logs
}};

}  // namespace

bool LooksLikeInternalTable2005(const std::map<uint16_t, ColumnInfo>& columns) {
  // A queue's message fragments, whatever columns before them were lost.
  bool next_fragment = false, fragment_bitmap = false;
  for (const auto& [colid, c] : columns) {
    next_fragment = next_fragment || c.name == "next_fragment";
    fragment_bitmap = fragment_bitmap || c.name == "fragment_bitmap";
  }
  if (next_fragment && fragment_bitmap) return true;
  if (columns.size() < 3) return false;
  for (const auto& names : kLeadingColumns) {
    auto it = columns.begin();
    bool all = true;
    for (std::string_view name : names) all = all && (it++)->second.name == name;
    if (all) return true;
  }
  return false;
}

}  // namespace tollamer::sql2005
