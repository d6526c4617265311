#pragma once
// The experiment window's table of configurations and its fields as they were left, kept in the
// settings between sessions.

namespace kelvora::ui {

class ConfigurationTable;
class RunPanel;

/// Keeps the table's rows and the fields' texts.
void SaveTable(const ConfigurationTable& table, const RunPanel& fields);
/// Puts back what was kept (at most maxRows rows); nothing when nothing was.
void RestoreTable(ConfigurationTable& table, RunPanel& fields, int maxRows);

}  // namespace kelvora::ui
