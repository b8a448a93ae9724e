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
bool LoadCliTree(const std::string &path, std::int64_t groupFileSize, TCliTree &out);
// Imports the export `fileName`; errors go to standard error; false then.
bool ImportCliTree(const std::string &fileName, std::int64_t groupFileSize, TCliTree &out);

// Whether the arguments of a command ask for an import (--import FILE).
bool HasImportOption(const std::vector<std::string> &args);

// zumbrel-cli scan [--no-grouping | --group-size BYTES] --import FILE
// Prints the key=value lines of a scan for the analysis the file holds.
int CommandScanImport(const std::vector<std::string> &args);

// Frees nothing: large trees are pointless to free right before exit; kept reachable so
// leak checkers see them as kept.
void KeepUntilExit(std::unique_ptr<TRootDirNode> root);
