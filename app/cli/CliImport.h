#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/TreeTypes.h"

// One analysis for a command: a folder scanned now or an ncdu/gdu JSON export read back.
struct TCliTree
{
    std::unique_ptr<TRootDirNode> Root;
    double Seconds = 0;
    bool Imported = false;
};

// Scans `path` when it is a folder and imports it when it is a file. Errors go to standard
// error (with the byte offset for a damaged file); false then.
bool LoadCliTree(const std::string &path, std::int64_t groupFileSize, bool quiet, TCliTree &out);
// Imports the export `fileName`; errors go to standard error; false then.
bool ImportCliTree(const std::string &fileName, std::int64_t groupFileSize, TCliTree &out);

// zumbrel-cli scan [--no-grouping | --group-size BYTES] --import FILE, or a plain scan:
// prints the key=value lines of a scan for the analysis the file holds.
int CommandScanOrImport(const std::vector<std::string> &args);
// The --help line of --import.
std::string ImportHelp();
