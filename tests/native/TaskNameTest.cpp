#include "tasks/TaskName.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

constexpr const char* Prefix = "Наименование задания не годится для имени файла: ";

TEST(TaskNameFault, NamesTheCharacterOrTheReason) {
  using namespace std::string_literals;
  const struct {
    std::string name;
    const char* reason;  // after the prefix; nullptr when the name will do
  } cases[] = {
      {"Отдел\\Склад", "в нём есть знак «\\»."},
      {"Отдел/Склад", "в нём есть знак «/»."},
      {"Daily:1", "в нём есть знак «:»."},
      {"All*", "в нём есть знак «*»."},
      {"Why?", "в нём есть знак «?»."},
      {"\"Quoted\"", "в нём есть знак «\"»."},
      {"<Base>", "в нём есть знак «<»."},
      {"a>b", "в нём есть знак «>»."},
      {"a|b", "в нём есть знак «|»."},
      {"Tab\tName", "в нём есть управляющий символ (код 9)."},
      {"Line\x1F", "в нём есть управляющий символ (код 31)."},
      {"a\x01:", "в нём есть управляющий символ (код 1)."},  // the first fault found is named
      {"Daily.", "оно оканчивается точкой."},
      {"..", "оно оканчивается точкой."},
      {"Daily ", "оно оканчивается пробелом."},
      {"Daily. ", "оно оканчивается пробелом."},
      {"CON", "«CON» — имя устройства Windows."},
      {"con", "«con» — имя устройства Windows."},
      {"Prn", "«Prn» — имя устройства Windows."},
      {"AUX", "«AUX» — имя устройства Windows."},
      {"nul.txt", "«nul» — имя устройства Windows."},
      {"COM1", "«COM1» — имя устройства Windows."},
      {"com9.dt", "«com9» — имя устройства Windows."},
      {"LPT1", "«LPT1» — имя устройства Windows."},
      {"Lpt9.a.b", "«Lpt9» — имя устройства Windows."},
      {"CON .log", "«CON» — имя устройства Windows."},
      // Names that will do.
      {"Daily", nullptr},
      {"Ежедневно", nullptr},
      {"Склад (копия) №2, 1С8", nullptr},
      {"v8.3 Daily", nullptr},
      {".hidden", nullptr},
      {"CONSOLE", nullptr},
      {"COM10", nullptr},
      {"COM0", nullptr},
      {"LPT", nullptr},
      {"Con-1", nullptr},
      {"AUX1", nullptr},
      {"ЯЯ\xFF", nullptr},
  };
  for (const auto& c : cases) {
    std::string expected = c.reason ? Prefix + std::string(c.reason) : std::string();
    EXPECT_EQ(TaskNameFault(c.name), expected) << c.name;
  }
}

}  // namespace
}  // namespace ns
