#pragma once
// The options of pictorum-batch, one row each in the order --help lists them: its names, its
// value, its help text and what it does to CliOptions. ParseCommandLine walks the rows.

#include "cli/CliOptions.h"

#include <map>
#include <optional>
#include <span>
#include <string>

// More threads than this only cost memory.
constexpr int kMaxJobs = 256;

// One option as the command line gives it: the last of its values counts, as with most tools.
struct CliGiven {
    const char* name;
    std::string value; // as bytes; empty for a switch
    // Every option given, by name, for the rows whose meaning depends on another.
    const std::map<std::string, std::string>& all;

    // The refusal of this option's value for the reason why.
    std::string Refuse(const std::string& why) const;
    // Another option's value, when it was given.
    std::optional<std::string> Other(const char* option) const {
        const auto found = all.find(option);
        return found == all.end() ? std::nullopt : std::optional(found->second);
    }
};

struct CliOptionRow {
    const char* name;
    const char* shortName = nullptr;
    const char* valueName = nullptr; // nothing: a switch
    const char* help = "";
    // The switch this option sets, if it is one.
    bool CliOptions::*flag = nullptr;
    // Takes the given option into the options; returns the message that refuses it, or nothing
    // when it is taken. The rows are applied in table order, so that of two faults on one
    // command line the same one is always named.
    std::string (*apply)(const CliGiven& given, CliOptions& options) = nullptr;
    // What the command line is refused with when the option is missing or empty; these are
    // named before anything else is looked at.
    const char* missing = nullptr;
    // Help and Version answer the command line when given; no other row is looked at then.
    ParseResult::Kind answer = ParseResult::Kind::Run;
};

std::span<const CliOptionRow> CliOptionRows();
