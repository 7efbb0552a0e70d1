#include "quickintro/win32/graphic.h"

#include <map>

namespace quickintro {
namespace {

std::map<std::string, GraphicFactory, std::less<>>& GraphicClasses() {
  static std::map<std::string, GraphicFactory, std::less<>> classes;
  return classes;
}

}  // namespace

void RegisterGraphicClass(std::string className, GraphicFactory factory) {
  GraphicClasses()[std::move(className)] = std::move(factory);
}

void UnregisterGraphicClass(std::string_view className) {
  auto found = GraphicClasses().find(className);
  if (found != GraphicClasses().end()) GraphicClasses().erase(found);
}

std::unique_ptr<TGraphic> CreateGraphic(const TStoredPicture& picture) {
  auto found = GraphicClasses().find(picture.ClassName);
  if (found == GraphicClasses().end()) return nullptr;
  return found->second(picture);
}

}  // namespace quickintro
