#include "tests/scene_text.h"

#include <utility>

namespace graftling::testing {

std::string sceneHead() {
  return "LWSC\n1\n\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\n"
         "PreviewLastFrame 60\nPreviewFrameStep 1\nFramesPerSecond 30.000000\n\n";
}

std::string objectBlock(std::string_view objectLine, int parent) {
  std::string block = std::string(objectLine) + "\n";
  block +=
      "ShowObject 8 7\nObjectMotion (unnamed)\n  9\n  1\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\nEndBehavior 1\n";
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

std::string motion3(std::string_view keyword, int channels) {
  std::string text = std::string(keyword) + "\nNumChannels " + std::to_string(channels) + "\n";
  for (int channel = 0; channel < channels; ++channel) {
    text += "Channel " + std::to_string(channel) + "\n{ Envelope\n  1\n  Key " +
            (channel == 6 || channel == 7 || channel == 8 ? "1" : "0") +
            " 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
  }
  return text;
}

std::string objectBlock3(std::string_view line, std::string_view own, std::string_view bones,
                         std::string_view after) {
  return std::string(line) + "\nShowObject 6 10\n" + motion3("ObjectMotion", 9) + "\n" + std::string(own) +
         std::string(bones) + "ShadowOptions 7\n" + std::string(after);
}

std::string boneBlock3(std::string_view name, std::string_view parent, std::string_view after) {
  return "AddBone\nBoneName " + std::string(name) +
         "\nShowBone 1 1\nBoneRestPosition 0 0.25 0\nBoneRestDirection 0 0 0\nBoneRestLength 0.25\n" +
         motion3("BoneMotion", 9) + "\nLockedChannels 448\nPivotRotation 0 0 0\nParentItem " +
         std::string(parent) + "\n" + std::string(after);
}

std::string lightBlock3(std::string_view name, std::string_view own, std::string_view handler) {
  return "AddLight\nLightName " + std::string(name) + "\nShowLight 0 7\n" + motion3("LightMotion", 9) + "\n" +
         std::string(own) +
         "LightColor 1 1 1\nLightIntensity 1\nAffectCaustics 1\nLightType 1\nShadowType 1\n"
         "ShadowColor 0 0 0\nPlugin LightHandler 1 PointLight\n" +
         std::string(handler) + "EndPlugin\n";
}

std::string cameraBlock3(std::string_view name, std::string_view own) {
  return "AddCamera\nCameraName " + std::string(name) + "\nShowCamera 1 7\n" + motion3("CameraMotion", 6) +
         "\n" + std::string(own) + "ZoomFactor 3.2\nFrameSize 640 480\nMotionBlur 0\n";
}

namespace {

// A scene from its head on: each object, the scene-level group, each light
// and each camera after a blank line, then the render settings and the graph
// editor's data. Blocks are appended in place.
std::string withSections(std::string text, const std::vector<std::string>& objects, std::string_view group,
                         const std::vector<std::string>& lights, const std::vector<std::string>& cameras) {
  for (const std::string& object : objects) text.append("\n").append(object);
  text.append("\n").append(group);
  for (const std::string& light : lights) text.append("\n").append(light);
  for (const std::string& camera : cameras) text.append("\n").append(camera);
  return text.append(
      "\nAntiAliasing 0\nFilterType 0\n\nSolidBackdrop 1\nBackdropColor 0 0 0\n\n"
      "ViewConfiguration 0\nCurrentObject 0\nCurrentLight 0\nCurrentCamera 0\n\nGraphEditorData\n"
      "{ GraphEditorFavorites\n  GraphEd_Favorites 0\n}\n");
}

}  // namespace

std::string scene3(const std::vector<std::string>& objects, const std::vector<std::string>& lights,
                   const std::vector<std::string>& cameras, std::string_view group) {
  std::string text =
      "LWSC\n3\n\nFirstFrame 1\nLastFrame 60\nFrameStep 1\nPreviewFirstFrame 1\n"
      "PreviewLastFrame 60\nPreviewFrameStep 1\nCurrentFrame 1\nFramesPerSecond 30\n";
  return withSections(std::move(text), objects, group, lights, cameras);
}

namespace {

const char kBlendAndAlignment[] =
    "IKInitialState 0\nCtrlPosItemBlend 1\nCtrlRotItemBlend 1\nCtrlScaleItemBlend 1\n\n"
    "PathAlignLookAhead 0.033\nPathAlignMaxLookSteps 10\nPathAlignReliableDist 0.001\n";

}  // namespace

std::string objectBlock5(std::string_view line, std::string_view own, std::string_view bones,
                         std::string_view after) {
  return std::string(line) + "\nChangeObject 0\nShowObject 6 -1\n" + motion3("ObjectMotion", 9) + "\n" +
         std::string(own) + kBlendAndAlignment + std::string(bones) + "ShadowOptions 7\n" +
         std::string(after);
}

std::string boneBlock5(std::string_view identifier, std::string_view name, std::string_view parent,
                       std::string_view after) {
  return "AddBone " + std::string(identifier) + "\nBoneName " + std::string(name) +
         "\nShowBone 1 -1\nBoneRestPosition 0 0.25 0\nBoneRestRotation 0 0 0\nBoneRestLength 0.25\n" +
         motion3("BoneMotion", 9) + "\nParentItem " + std::string(parent) + "\n" + std::string(after) +
         kBlendAndAlignment;
}

std::string lightBlock5(std::string_view identifier, std::string_view name, std::string_view own) {
  return "AddLight " + std::string(identifier) + "\nLightName " + std::string(name) + "\nShowLight 0 -1\n" +
         motion3("LightMotion", 9) + "\n" + std::string(own) + kBlendAndAlignment +
         "LightColor 1 1 1\nLightIntensity 1\nAffectCaustics 1\nLightType 1\nShadowType 1\n"
         "ShadowColor 0 0 0\nPlugin LightHandler 1 DistantLight\nEndPlugin\n";
}

std::string cameraBlock5(std::string_view identifier, std::string_view name, std::string_view own) {
  return "AddCamera " + std::string(identifier) + "\nCameraName " + std::string(name) +
         "\nShowCamera 1 -1\n" + motion3("CameraMotion", 9) + "\n" + std::string(own) + kBlendAndAlignment +
         "ZoomFactor 3.2\nFrameSize 640 480\nMotionBlur 0\n";
}

std::string scene5(int format, const std::vector<std::string>& objects,
                   const std::vector<std::string>& lights, const std::vector<std::string>& cameras) {
  std::string text = "LWSC\n" + std::to_string(format) +
                     "\n\nRenderRangeType 0\nFirstFrame 1\nLastFrame 60\nFrameStep 1\n"
                     "RenderRangeObject 0\nRenderRangeArbitrary 1-60\nPreviewFirstFrame 1\n"
                     "PreviewLastFrame 60\nPreviewFrameStep 1\nCurrentFrame 1\nFramesPerSecond 30\n"
                     "ChangeScene 0\n";
  if (format >= 8) text += "BufferList\n  Buffer 1 \"Final Render\"\n  Buffer 2 \"Depth\"\nEndAttribute\n";
  return withSections(std::move(text), objects,
                      format >= 8 ? "GlobalMipmapMultiplier 1\nEnableRadiosity 0\nRadiosityType 1\n"
                                    "RadiosityInterpolated 1\nRadiosityRays 64\nCacheRadiosity 0\n"
                                  : "AmbientColor 1 1 1\nAmbientIntensity 0.05\nGlobalMipmapMultiplier 1\n"
                                    "EnableRadiosity 0\nRadiosityType 1\nCacheRadiosity 0\n",
                      lights, cameras);
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
