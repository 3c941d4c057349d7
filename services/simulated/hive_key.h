#pragma once
// platform::RegistryKey over an in-memory hive: what the simulated network
// hands out for RegConnectRegistryA and the keys opened below it.

#include "formats/registry/hive.h"
#include "services/services.h"

#include <functional>
#include <memory>

namespace quorvin::reg {

// Called after every change a writable key made (a key created, a value
// set), with the hive's mutex released; the network saves the hive then. A
// non-zero result is what the changing call returns (the change stays).
using ChangeCallback = std::function<platform::Error()>;

// The root key of `hive`, the hive's HKEY_LOCAL_MACHINE.
//
// Keys from OpenKey are opened with read access, whatever the key they come
// from: CreateKey and SetValue on them answer 5 (ERROR_ACCESS_DENIED). On a
// writable root, CreateKey gives writable keys. Read-only roots answer 5 to
// CreateKey and SetValue too.
//
// Sub-key paths follow SplitKeyPath (161 for a leading "\"); OpenKey answers
// 2 for a key that does not exist. Names and string data are converted as
// the ANSI registry functions convert them (NormalizeText). CreateKey and
// SetValue answer 87 (ERROR_INVALID_PARAMETER) for names the registry cannot
// hold (too long, CR or LF in them, keys deeper than kMaxDepth), data longer
// than kMaxValueBytes, and data null with a size. Every call takes the
// hive's mutex, so keys of one hive may be used from several threads.
std::unique_ptr<platform::RegistryKey> OpenHiveRoot(std::shared_ptr<Hive> hive, bool writable,
                                                    ChangeCallback onChange = {});

}  // namespace quorvin::reg
