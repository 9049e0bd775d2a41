#pragma once
// The history database's schema, one migration step per version, for SQLite
// and PostgreSQL alike.
#include <cstdint>
#include <string>
#include <vector>

namespace qz::history {

enum class TDialect { SQLite, PostgreSQL };

inline constexpr int kSchemaVersion = 3;

// The hours of the rollup tables, in milliseconds.
inline constexpr int64_t kRollupMs = 3'600'000;

// The statements that take a database from version - 1 to version.
std::vector<std::string> MigrationStep(int version, TDialect dialect);

}  // namespace qz::history
