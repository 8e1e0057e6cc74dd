#pragma once

// The store the benchmarks of the library work on: a private home (Reporters.h), its documents
// directory, the settings' defaults, and the template database copied in as at a first start.

#include "Reporters.h"

#include "ParlivoAppDelegate.h"

#include "foundation/Bundle.h"
#include "foundation/FileManager.h"

#include <cstdio>
#include <optional>
#include <string>

namespace bench {

struct TemporaryStore {
    std::string root; // removed by the caller at the end
    std::string database;
};

inline std::optional<TemporaryStore> useTemporaryStore()
{
    const auto home = useTemporaryHome();
    if (!home)
        return std::nullopt;
    foundation::setDocumentsDirectory(*home + "/Documents");
    ParlivoAppDelegate::initialize();
    TemporaryStore store { *home, foundation::documentsDirectory() + "/parlivodb.sql" };
    if (!foundation::copyItem(foundation::Bundle::main().resourcePath() + "/parlivodb.sql", store.database)) {
        std::fprintf(stderr, "no template database in %s\n", foundation::Bundle::main().resourcePath().c_str());
        return std::nullopt;
    }
    return store;
}

} // namespace bench
