// Helpers of the DXF tests: text files in a scratch folder, and running
// the independent reader (ezdxf, in the system python3) on them.
#ifndef TESTS_DXF_DXF_TEST_SUPPORT_H
#define TESTS_DXF_DXF_TEST_SUPPORT_H

#include <string>

namespace dxftest {

// A folder of this test process, made on first use.
std::string scratchDir();
std::string scratchPath(const std::string& name);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// Lines joined with LF, one group code / value per pair of strings.
std::string lines(std::initializer_list<const char*> items);

// True when /usr/bin/python3 can import ezdxf. Tests that need it skip
// without it on a developer's machine and fail under CI (CI=true).
bool ezdxfAvailable();
// Runs tests/dxf/drawings.py with the arguments; its standard output, or
// "" with ok=false when it exits non-zero.
std::string runDrawingsScript(const std::string& arguments, bool& ok);

}  // namespace dxftest

#define REQUIRE_EZDXF()                                                     \
  do {                                                                      \
    if (!dxftest::ezdxfAvailable()) {                                       \
      const char* ci = std::getenv("CI");                                   \
      if (ci != nullptr && std::string(ci) == "true")                       \
        FAIL() << "python3-ezdxf is needed: apt-get install python3-ezdxf"; \
      GTEST_SKIP() << "python3-ezdxf is not installed";                     \
    }                                                                       \
  } while (0)

#endif
