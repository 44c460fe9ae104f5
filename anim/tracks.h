// tracks.h - the value of one key-frame track at any key-frame time.
//
// Every value comes back in the file's own axes (right-handed, Z up): the loader keeps points and
// axes in scene axes (the file's Y and Z exchanged), and these functions exchange them back,
// because the file's rotation angles only have their meaning in the file's own handedness.
//
// Time: key frames, a real number. Before a track's first key the first value holds, after its
// last key the last value holds; a single key holds for all time. A track marked loop or repeat
// instead runs through its keys again and again: time is taken modulo the span from its first to
// its last key. A looping track also joins its ends smoothly (the curve through its last key
// continues into its second), where a repeating one starts each pass afresh.
//
// Curves: position, scale, field of view and roll follow Kochanek-Bartels (tension, continuity,
// bias) splines, with each key's ease from and the next key's ease to reshaping time between two
// keys. Each rotation key turns by its angle about its axis after the key before it (the first
// key is absolute); between two keys the turn follows the same spline in the logarithm of the
// relative rotation, so a key of more than half a turn keeps its full turns. The file's rotation
// angles turn clockwise about their axis seen from the axis's tip (checked against the files'
// own saved orientations). A hide track's keys each turn the node's visibility over, starting
// visible.
//
// Failure: none. An empty track gives the fallback value; non-finite key values give non-finite
// results, which the renderer tolerates. Nothing allocates.
#pragma once

#include "scene/math3d.h"
#include "scene/scene.h"

// True when the track has more than one key, so that its value can change with time.
bool track_is_animated(const KeyTrack& track);
// The same for a hide track, where one key is enough: the node is visible before it.
bool hide_track_is_animated(const KeyTrack& track);

// The time at which the track is read for key frame t: wrapped for loop and repeat, clamped to
// the keys otherwise. t itself for an empty track.
double track_time(const KeyTrack& track, double t);

// A position or scale track at t, in file axes; fallback for an empty track.
Vector3 vector_track_value(const KeyTrack& track, double t, const Vector3& fallback);

// A field-of-view or roll track at t; fallback for an empty track.
double scalar_track_value(const KeyTrack& track, double t, double fallback);

// A rotation track at t as a unit quaternion in file axes; the identity for an empty track.
Quaternion rotation_track_value(const KeyTrack& track, double t);

// A hide track at t: true when the node is hidden.
bool hide_track_value(const KeyTrack& track, double t);
