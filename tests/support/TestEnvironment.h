#pragma once

#include "foundation/Clock.h"
#include "foundation/RunLoop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace testsupport {

/// A private world for one test: fresh temporary home, config, data and documents
/// directories (owned by the test and removed afterwards), the main run loop on a manual
/// clock pinned to a known date, a fresh settings store, notification centre and bundle.
/// Every suite's fixture derives from it, so no test sees another's files or settings.
class TestEnvironment : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The manual clock of the main run loop.
    foundation::ManualClock& clock() { return *m_clock; }
    foundation::RunLoop& runLoop() { return foundation::RunLoop::main(); }
    /// Advances the manual clock by seconds, firing every timer due on the way.
    void advance(double seconds) { runLoop().runFor(seconds); }

    const std::string& rootDirectory() const { return m_root; }
    std::string documentsPath() const { return m_root + "/documents"; }
    std::string configPath() const { return m_root + "/config"; }

    /// The date the manual clock starts at: 2026-12-08 12:00:00 UTC.
    static constexpr double kStartDate = 1796731200.0;

private:
    std::string m_root;
    std::shared_ptr<foundation::ManualClock> m_clock;
};

/// A fresh directory under the system's temporary directory; the caller removes it.
std::string makeTemporaryDirectory();
/// Removes a directory tree; errors are ignored.
void removeTree(const std::string& path);

} // namespace testsupport
