// dravik-cli records: the service records of every day from a date on, as a table or, with --json, one
// record a line as stored.
#pragma once

#include <string>

int RunRecords(const std::string& since, bool json);
