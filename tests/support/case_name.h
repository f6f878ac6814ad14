// Short names for the cases of parameterised tests. ctest pads every line to
// its longest test name, and a case without a name reaches ctest as the
// bytes of its parameter, so one table could make every line 300 columns wide.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>

namespace calmora_test {

// The case's number, which keeps names unique, and the first words of its
// description in letters, digits and underscores, at most about 28 characters:
// case 1, "upper-case JPG compares in lower case" -> "1_upper_case_JPG_compares".
[[nodiscard]] inline std::string ShortCaseName(size_t index, const char* description) {
    constexpr size_t kMostCharacters = 28;
    std::string name = std::to_string(index);
    std::string word;
    const auto addWord = [&name, &word] {
        if (word.empty()) return true;
        if (name.size() + 1 + word.size() > kMostCharacters) return false;
        name += '_' + word;
        word.clear();
        return true;
    };
    for (const char* c = description; c && *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) {
            word += *c;
        } else if (!addWord()) {
            return name;
        }
    }
    addWord();
    return name;
}

// The fourth argument of INSTANTIATE_TEST_SUITE_P for cases with a `desc`.
struct NameFromDesc {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return ShortCaseName(info.index, info.param.desc);
    }
};

}  // namespace calmora_test

// A test run once for each row of a table of Case (a struct with a `desc`);
// its body reads the row as `c`. CASE_ROWS lists the rows, each named from its
// description.
#define CASE_TEST(Suite, Name, Case)                      \
    class Suite : public ::testing::TestWithParam<Case> { \
    protected:                                            \
        const Case& c = GetParam();                       \
    };                                                    \
    TEST_P(Suite, Name)

#define CASE_ROWS(Prefix, Suite, ...)                                                    \
    INSTANTIATE_TEST_SUITE_P(Prefix, Suite, ::testing::Values(__VA_ARGS__), \
                             calmora_test::NameFromDesc())
