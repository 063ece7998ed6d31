// PostgreSQL import in a build without libpq (the Windows program, whose
// libraries are built from source and leave libpq out): refused, naming
// what the build does import into.
#include "output/postgres_target.h"

namespace tollamer {

std::unique_ptr<ImportTarget> OpenPostgresTarget(const std::string&, std::string& error, unsigned) {
  error = std::string(kPostgresNotBuiltText) + ": import into sqlite:PATH instead";
  return nullptr;
}

}  // namespace tollamer
