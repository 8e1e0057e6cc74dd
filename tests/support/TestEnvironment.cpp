#include "TestEnvironment.h"

#include "foundation/Bundle.h"
#include "foundation/FileManager.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace testsupport {

std::string makeTemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "parlivo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void removeTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void TestEnvironment::SetUp()
{
    m_root = makeTemporaryDirectory();
    setenv("HOME", m_root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configPath().c_str(), 1);
    setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    foundation::setDocumentsDirectory(documentsPath());
    foundation::UserDefaults::resetStandardUserDefaults();
    foundation::NotificationCenter::resetDefaultCenter();
    foundation::Bundle::resetMain();
    m_clock = std::make_shared<foundation::ManualClock>(kStartDate);
    foundation::RunLoop::resetMain(m_clock);
}

void TestEnvironment::TearDown()
{
    foundation::NotificationCenter::resetDefaultCenter();
    foundation::UserDefaults::resetStandardUserDefaults();
    foundation::RunLoop::resetMain(std::make_shared<foundation::ManualClock>(kStartDate));
    foundation::setDocumentsDirectory("");
    removeTree(m_root);
}

} // namespace testsupport
