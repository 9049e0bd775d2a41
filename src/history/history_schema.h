#pragma once
// The history database's schema, one migration step per version, for SQLite
// and PostgreSQL alike.
#include <string>
#include <vector>

namespace qz::history {

enum class TDialect { SQLite, PostgreSQL };

inline constexpr int kSchemaVersion = 2;

// The statements that take a database from version - 1 to version.
std::vector<std::string> MigrationStep(int version, TDialect dialect);

}  // namespace qz::history
