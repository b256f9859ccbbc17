#include "tests/scene_text.h"

namespace graftling::testing {

std::string sceneHead() {
  return "LWSC\n1\n\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\n"
         "PreviewLastFrame 60\nPreviewFrameStep 1\nFramesPerSecond 30.000000\n\n";
}

std::string objectBlock(std::string_view objectLine, int parent) {
  std::string block = std::string(objectLine) + "\n";
  block += "ShowObject 8 7\nObjectMotion (unnamed)\n  9\n  1\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\nEndBehavior 1\n";
  if (parent != 0) block += "ParentObject " + std::to_string(parent) + "\n";
  block += "ShadowOptions 7\n";
  return block;
}

std::string ambientLines() { return "AmbientColor 255 255 255\nAmbIntensity 0.250000\n\n"; }

std::string lightBlock(std::string_view name, int parent) {
  std::string block = "AddLight\nLightName " + std::string(name) + "\nShowLight 0 7\n";
  block += "LightMotion (unnamed)\n  9\n  1\n  0 2 -2 0 0 0 1 1 1\n  0 0 0 0 0\nEndBehavior 1\n";
  if (parent != 0) block += "ParentObject " + std::to_string(parent) + "\n";
  block += "LightColor 255 255 255\nLgtIntensity 1.000000\nLightType 0\nShadowType 1\n";
  return block;
}

std::string shadowMappedLightBlock(std::string_view name, int parent) {
  std::string block = lightBlock(name, parent);
  block.replace(block.rfind("ShadowType 1"), 12, "ShadowType 2");
  return block + "ShadowMapSize 512\nUseConeAngle 0\nShadowMapAngle 50.000000\nShadowFuzziness 2.000000\n";
}

std::string sceneTail() {
  return "ShowCamera 1 7\nCameraMotion (unnamed)\n  9\n  1\n  0 1 -5 0 0 0 1 1 1\n  0 0 0 0 0\n"
         "EndBehavior 1\nZoomFactor 3.200000\n\nSolidBackdrop 1\nBackdropColor 0 0 0\n\n"
         "RenderMode 2\nRayTraceEffects 0\n\nViewMode 3\nShowFieldChart 0\n\n";
}

std::string withCrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace graftling::testing
