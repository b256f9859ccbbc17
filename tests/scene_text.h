// Builders for scene texts in the layout Layout writes, so tests read as data.
#ifndef GRAFTLING_TESTS_SCENE_TEXT_H_
#define GRAFTLING_TESTS_SCENE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace graftling::testing {

// "LWSC" to the blank line after the frame settings.
std::string sceneHead();

// An object block from its object line to "ShadowOptions 7", without the
// blank line that follows it in a scene. parent 0 writes no "ParentObject".
std::string objectBlock(std::string_view objectLine, int parent = 0);

// The three lines between the object section and the first light.
std::string ambientLines();

// A light block from "AddLight" to "ShadowType 1", without the blank line.
std::string lightBlock(std::string_view name, int parent = 0);

// A light with shadow maps: its "ShadowType 2" line and the shadow-map
// settings lines that Layout writes after it, without the blank line.
std::string shadowMappedLightBlock(std::string_view name, int parent = 0);

// From "ShowCamera" to the scene's final blank line.
std::string sceneTail();

// Format 3, as later Layouts write it. Blocks come without the blank line
// that stands before each in a scene; scene3 puts it there.

// A motion: its keyword line, "NumChannels" and each channel's envelope block.
std::string motion3(std::string_view keyword, int channels);

// An object block: its line, its motion, a blank line, its own lines, its
// bones, "ShadowOptions 7" and the lines after that.
std::string objectBlock3(std::string_view line, std::string_view own = "", std::string_view bones = "",
                         std::string_view after = "");

// A bone from "AddBone": its rest, its motion, a blank line, its parent line
// and the lines after that.
std::string boneBlock3(std::string_view name, std::string_view parent, std::string_view after = "");

// A light block, its own lines after its motion, ending with a light
// handler's plug-in body.
std::string lightBlock3(std::string_view name, std::string_view own = "", std::string_view handler = "");

// A camera block: its own lines after its motion, then its zoom.
std::string cameraBlock3(std::string_view name, std::string_view own = "");

// A whole scene: each object, the scene-level group, each light and each
// camera after a blank line, then the render settings and graph editor data.
std::string scene3(const std::vector<std::string>& objects, const std::vector<std::string>& lights,
                   const std::vector<std::string>& cameras,
                   std::string_view group = "AmbientColor 1 1 1\nAmbientIntensity 0.25\n");

// Formats 4 to 8, as the newest Layouts write them: item lines spell their
// identifiers, and every item holds a blank line between its controller
// blend lines and its path alignment lines.

// An object block: its line, its motion, a blank line, its own lines, the
// blend lines, a blank line, the path alignment lines, its bones,
// "ShadowOptions 7" and the lines after that.
std::string objectBlock5(std::string_view line, std::string_view own = "", std::string_view bones = "",
                         std::string_view after = "");

// A bone: "AddBone" with its identifier, its rest, its motion, a blank line,
// its parent line and the lines after that, the blend and alignment lines.
std::string boneBlock5(std::string_view identifier, std::string_view name, std::string_view parent,
                       std::string_view after = "");

// A light block, its own lines after its motion, ending with its handler's
// plug-in body; a camera block likewise, ending with its zoom.
std::string lightBlock5(std::string_view identifier, std::string_view name, std::string_view own = "");
std::string cameraBlock5(std::string_view identifier, std::string_view name, std::string_view own = "");

// A whole scene of format 5, or of format 8: its buffer list in the head, and
// a group that begins with "GlobalMipmapMultiplier" rather than "AmbientColor".
std::string scene5(int format, const std::vector<std::string>& objects,
                   const std::vector<std::string>& lights, const std::vector<std::string>& cameras);

// The same text with every LF made CR LF.
std::string withCrLf(std::string_view text);

}  // namespace graftling::testing

#endif  // GRAFTLING_TESTS_SCENE_TEXT_H_
