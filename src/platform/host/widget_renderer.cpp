#include "platform/host/widget_renderer.hpp"

#include "platform/ui/alignment.hpp"
#include "platform/ui/layout.hpp"

namespace halyard::host {

namespace {

// Gives the container background the widget's rounded shape.
void roundContainer(ui::PlacedNode& node) {
  if (node.kind == "ContainerBackground" && node.shape) {
    node.shape->cornerRadius = kContainerCornerRadius;
  }
  for (auto& child : node.children)
    roundContainer(child);
}

}  // namespace

ui::Environment widgetEnvironment(const WidgetRenderSettings& settings) {
  ui::Environment environment;
  environment.setWidgetFamily(settings.family);
  environment.appearance = settings.appearance;
  environment.displayScale = settings.scale;
  environment.textDomain = settings.textDomain;
  return environment;
}

ui::PlacedNode layoutWidget(const ui::View& content, const WidgetRenderSettings& settings,
                            const ui::TextMeasurer& measurer) {
  const DisplaySize size = familySize(settings.family);
  // The content gets the family's size less the margins, at the container's top-leading
  // corner, whatever size it answers.
  const ui::View framed = content
                              .frame(ui::FlexFrame{.maxWidth = ui::infinity,
                                                   .maxHeight = ui::infinity,
                                                   .alignment = ui::Alignment::topLeading})
                              .padding(kContentMargin);
  ui::PlacedNode tree =
      ui::layout(framed, {size.width, size.height}, widgetEnvironment(settings), measurer);
  roundContainer(tree);
  ui::roundToPixelGrid(tree, settings.scale);
  return tree;
}

std::optional<render::RenderError> drawWidget(const ui::PlacedNode& tree,
                                              const WidgetRenderSettings& settings,
                                              const std::string& path,
                                              const render::TextContext& text) {
  const auto format = render::imageFormatForPath(path);
  if (!format) return render::RenderError{path, "unknown image format (use .png, .svg or .pdf)"};
  const DisplaySize size = familySize(settings.family);
  return render::renderFile(*format, tree, {size.width, size.height}, settings.scale, path, text);
}

}  // namespace halyard::host
