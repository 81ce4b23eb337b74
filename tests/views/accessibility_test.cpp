// What a screen reader reads of the widget: one element per header, row and footer, section
// titles as headings, labels from the full texts; a failure announced.
#include <gtest/gtest.h>

#include "view_test_support.hpp"

namespace halyard {
namespace {

using namespace testing;
using ui::AccessibilityRole;
using ui::WidgetFamily;

TEST(Accessibility, ElementsOfTheExamplesInReadingOrder) {
  struct Case {
    std::string example;
    std::optional<WidgetSnapshot::Health> health;
    WidgetFamily family;
    std::vector<std::string> labels;  // "#" marks a heading
    std::string announced;            // by any element
  };
  const std::string fullFooter = "Próximo backup: fotos, Diario, dentro de 11 horas";
  const std::string longFooter =
      "Próximo backup: copia-de-seguridad-del-portátil-de-ana-2026, Cada noche a las tres, "
      "dentro de 16 horas";
  const Case cases[] = {
      {"full.json",
       {},
       WidgetFamily::systemMedium,
       {"1,2 TB; 3 repos, 128 archivos; estado: correcto", "Local, 768 GB", "Remoto, 384 GB",
        "Caja, 76,8 GB", fullFooter},
       ""},
      {"full.json",
       WidgetSnapshot::Health::error,
       WidgetFamily::systemLarge,
       {"1,2 TB; 3 repos, 128 archivos; estado: error", "#Por proveedor", "Local, 768 GB",
        "Remoto, 384 GB", "Caja, 76,8 GB", "#Por repositorio", "fotos, 570 GB",
        "documentos, 384 GB", "proyectos, 198 GB", "correo, 76,8 GB", fullFooter},
       "Halyard: error en los backups"},
      {"long-names.json",
       {},
       WidgetFamily::systemMedium,
       {"920,53 GB; 4 repos, 1 archivo; estado: en curso",
        "Disco externo de la oficina central, 512 GB", "Almacenamiento remoto cifrado, 307,2 GB",
        "Caja compartida del equipo, 101,33 GB", longFooter},
       ""},
  };
  for (const Case& c : cases) {
    WidgetSnapshot snapshot = example(c.example);
    if (c.health) snapshot.health = *c.health;
    const auto tree = layoutEntry(snapshot, c.family);
    std::vector<std::string> labels;
    std::string announced;
    for (const auto& element : ui::accessibilityTree(tree)) {
      labels.push_back((element.role == AccessibilityRole::heading ? "#" : "") + element.label);
      announced += element.announcement;
      EXPECT_GT(element.frame.width, 0) << element.label;
      EXPECT_GE(element.frame.x, tree.frame.x) << element.label;
      EXPECT_GE(element.frame.y, tree.frame.y) << element.label;
      EXPECT_LE(element.frame.maxX(), tree.frame.maxX()) << element.label;
      EXPECT_LE(element.frame.maxY(), tree.frame.maxY()) << element.label;
    }
    EXPECT_EQ(labels, c.labels) << c.example;
    EXPECT_EQ(announced, c.announced) << c.example;
  }
}

}  // namespace
}  // namespace halyard
