#include "TestEnvironment.h"

#include "foundation/Bundle.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace {

struct Result {
    int status;
    std::string output;
};

class CommandLineTest : public testsupport::TestEnvironment {
protected:
    // Runs parlivo with the test's private environment; standard error is discarded.
    Result run(const std::string& arguments)
    {
        std::string command = std::string(PARLIVO_EXECUTABLE) + " " + arguments + " 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        std::string output;
        std::array<char, 256> buffer;
        while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
            output.append(buffer.data(), n);
        int status = pclose(pipe);
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, output };
    }
};

} // namespace

TEST_F(CommandLineTest, PrintsItsVersion)
{
    auto result = run("--version");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "parlivo " + foundation::programVersion() + "\n");
}

TEST_F(CommandLineTest, DefaultsWrittenByOneProcessAreReadByAnother)
{
    EXPECT_EQ(run("defaults write recordTimer NO").status, 0);
    auto read = run("defaults read recordTimer");
    EXPECT_EQ(read.status, 0);
    EXPECT_EQ(read.output, "NO\n");
    EXPECT_NE(run("defaults read").output.find("recordTimer = NO\n"), std::string::npos);

    EXPECT_EQ(run("defaults delete recordTimer").status, 0);
    auto listing = run("defaults read");
    EXPECT_EQ(listing.output.find("recordTimer = NO"), std::string::npos);
}

TEST_F(CommandLineTest, RejectsUnknownArguments)
{
    EXPECT_EQ(run("--no-such-option").status, 2);
    EXPECT_EQ(run("defaults frobnicate").status, 2);
}
