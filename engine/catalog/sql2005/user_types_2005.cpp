#include "engine/catalog/sql2005/user_types_2005.h"

#include "engine/catalog/sql2005/system_rows_2005.h"
#include "engine/catalog/sql2005/system_tables_2005.h"
#include "engine/catalog/type_texts.h"
#include "engine/values/value_types.h"

namespace tollamer::sql2005 {

void ReadUserTypes2005(const PageStore& store, const SystemPageList& sysscalartypes,
                       const LookupIndex2005& lookups, std::vector<UserTypeInfo>& out) {
  ForEachSystemRow(store, sysscalartypes, AnySlot, [&](ByteView page, uint16_t offset) {
    std::optional<ScalarTypeRow> row = DecodeScalarTypeRow(page, offset);
    if (!row || row->id == row->xtype || row->id == value_type::kSysname || IsSystemSchema(row->schid))
      return true;
    std::string base = lookups.LookupTypeName2005(row->xtype);
    TypeShape shape{row->xtype, row->xtype, row->length, row->prec, row->scale};
    out.push_back(UserTypeInfo{lookups.LookupTypeName2005(row->id),
                               UserTypeBaseText(base, shape),
                               UserTypeNullText(static_cast<uint8_t>(row->status)),
                               lookups.LookupSchemaName2005(row->schid)});
    return true;
  });
}

}  // namespace tollamer::sql2005
