#pragma once
// Expected report entries (edition A unless named) for the fixture workbooks
// of tests/fixtures; their contents are listed in tests/fixtures/README.md.

#include <string>
#include <vector>

#include "verification/expected_report.h"

namespace zumt::expect {

inline std::string FixturePath(const std::string& name) {
  return std::string(ZUMT_FIXTURES_DIR) + "/" + name;
}

inline std::vector<std::string> StandardFormBody() {
  return {
      "Сведения о работе организации за 2009 год",     "Организация: ООО «Ромашка»",
      "Строка 01 должна быть равна сумме строк 02–05", "Графа 3 строки 10 не может превышать графу 4",
      "Итог графы 5 не равен сумме граф 6–9",          "Раздел 2: строка 07 не может быть меньше строки 08"};
}

inline std::vector<std::string> CleanFormBody() {
  return {"Сведения об отсутствии нарушений за 2009 год", "Организация: ЗАО «Чистота»",
          "Ошибки в документе не найдены."};
}

inline std::vector<std::string> CaptionsFormBody() {
  return {"Отчёт о ходе работ", "Отчётный год: 2009",
          "Первая строка формулировки\nвторая строка формулировки", "", "Последняя проверка не прошла"};
}

inline std::vector<std::string> EditionBFormBody() {
  return {"Форма Б за 2009 год", "Организация: ИП Петров", "Форма Б: строка 01 не равна итогу"};
}

inline std::vector<std::string> BigFormBody() {
  std::vector<std::string> body = {"Большая форма на 3000 проверок", "Организация: АО «Тест»"};
  for (int i = 7; i <= 3000; i += 7)
    body.push_back("Контроль " + std::to_string(i) + ": графа " + std::to_string(i % 9 + 1));
  return body;
}

}  // namespace zumt::expect
