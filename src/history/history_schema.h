#pragma once
// The history database's schema, one migration step per version, for SQLite
// and PostgreSQL alike.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qz::history {

enum class TDialect { SQLite, PostgreSQL };

inline constexpr int kSchemaVersion = 5;

// The hours of the rollup tables, in milliseconds.
inline constexpr int64_t kRollupMs = 3'600'000;

// An LED's severity, so that the worst state of a time is the largest:
// alarm (raw 1) 2, unknown (no answer, or anything else) 1, normal (raw 0) 0.
inline constexpr const char* kLedSeveritySql = "CASE raw WHEN 1 THEN 2 WHEN 0 THEN 0 ELSE 1 END";
inline int LedSeverity(std::optional<int64_t> raw) { return !raw ? 1 : *raw == 1 ? 2 : *raw == 0 ? 0 : 1; }

// The statements that take a database from version - 1 to version.
std::vector<std::string> MigrationStep(int version, TDialect dialect);

}  // namespace qz::history
