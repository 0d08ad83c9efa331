// The names under which FerixDNC is driven over D-Bus. Scripts and other programs rely on
// them: they never change.
#pragma once

namespace dnc::bus {

inline constexpr const char* kService = "org.ferixdnc.DNC";
// Every process also owns kService + ".instance" + its process identifier.
inline constexpr const char* kInstancePrefix = "org.ferixdnc.DNC.instance";
inline constexpr const char* kManagerPath = "/org/ferixdnc/DNC";
inline constexpr const char* kManagerInterface = "org.ferixdnc.DNC.Manager";
// A running sub net N: kSubNetPathPrefix + N.
inline constexpr const char* kSubNetPathPrefix = "/org/ferixdnc/DNC/SubNet/";
inline constexpr const char* kSubNetInterface = "org.ferixdnc.DNC.SubNet";
// A request that the control reported as failed; the message is the control's text.
inline constexpr const char* kRequestFailed = "org.ferixdnc.DNC.Error.RequestFailed";
inline constexpr const char* kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr const char* kNotSupported = "org.freedesktop.DBus.Error.NotSupported";
// The group whose members the installed system bus policy lets drive the service.
inline constexpr const char* kOperatorsGroup = "ferixdnc-operators";

}  // namespace dnc::bus
