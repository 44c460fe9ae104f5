#include "anim/tracks.h"

#include <algorithm>
#include <cmath>

namespace {

Vector3 file_axes(float x, float y, float z) {
    return {double(x), double(z), double(y)};
}

// Where t falls among the keys: keys i and i + 1 and how far along (0..1), or i alone (u == 0)
// at or past the last key.
struct Place {
    size_t i = 0;
    double u = 0;
};

Place find_place(const KeyTrack& track, double t) {
    const std::vector<TrackKey>& keys = track.keys;
    // A linear scan: keys out of order in a damaged file give some key, never a read past the
    // end.
    size_t i = 0;
    while (i + 1 < keys.size() && double(keys[i + 1].frame) <= t)
        ++i;
    if (i + 1 >= keys.size()) return {i, 0};
    const double start = keys[i].frame, span = double(keys[i + 1].frame) - start;
    if (!(span > 0)) return {i + 1, 0};
    return {i, std::clamp((t - start) / span, 0.0, 1.0)};
}

// Ease away from key a (its ease from) and towards key b (its ease to): the time between them
// is reshaped so that the motion speeds up over the first share and slows down over the last,
// at a constant speed between.
double ease(double u, double from, double to) {
    from = std::clamp(from, 0.0, 1.0);
    to = std::clamp(to, 0.0, 1.0);
    const double sum = from + to;
    if (sum == 0) return u;
    if (sum > 1) {
        from /= sum;
        to /= sum;
    }
    const double k = 1 / (2 - from - to);
    if (u < from) return k / from * u * u;
    if (u < 1 - to) return k * (2 * u - from);
    const double rest = 1 - u;
    return 1 - k / to * rest * rest;
}

// The difference from key i - 1 to key i (into) and its length in key frames, with the wrap of
// a looping track: before key 0 comes the step into the last key.
struct Step {
    bool exists = false;
    Vector3 change{};
    double frames = 0;
};

template <typename Change> Step step_into(const KeyTrack& track, size_t i, Change change) {
    const size_t n = track.keys.size();
    if (i >= n) {
        if (!track.loop || n < 3) return {};
        i = 1; // past the last key a loop continues with the step into its second
    }
    if (i == 0) {
        if (!track.loop || n < 3) return {};
        i = n - 1;
    }
    return {true, change(i), double(track.keys[i].frame) - double(track.keys[i - 1].frame)};
}

struct Tangents {
    Vector3 in{}, out{};
};

// Kochanek-Bartels tangents at a key from the steps into and out of it; each side is scaled by
// the length of its own interval, so that uneven key spacing does not make the speed jump.
Tangents tcb_tangents(const TrackKey& key, const Step& before, const Step& after) {
    const double t = key.tension, c = key.continuity, b = key.bias;
    if (!before.exists && !after.exists) return {};
    if (!before.exists) {
        const Vector3 v = vector_scale(after.change, 1 - t);
        return {v, v};
    }
    if (!after.exists) {
        const Vector3 v = vector_scale(before.change, 1 - t);
        return {v, v};
    }
    const auto mix = [&](double wa, double wb) {
        return vector_add(vector_scale(before.change, wa), vector_scale(after.change, wb));
    };
    Vector3 in = mix((1 - t) * (1 - c) * (1 + b) / 2, (1 - t) * (1 + c) * (1 - b) / 2);
    Vector3 out = mix((1 - t) * (1 + c) * (1 + b) / 2, (1 - t) * (1 - c) * (1 - b) / 2);
    const double sum = before.frames + after.frames;
    if (sum > 0) {
        in = vector_scale(in, 2 * before.frames / sum);
        out = vector_scale(out, 2 * after.frames / sum);
    }
    return {in, out};
}

// The Hermite weights of the start, the end, the start's outgoing and the end's incoming tangent.
struct Hermite {
    double p0, p1, m0, m1;
};

Hermite hermite(double u) {
    const double u2 = u * u, u3 = u2 * u;
    return {2 * u3 - 3 * u2 + 1, -2 * u3 + 3 * u2, u3 - 2 * u2 + u, u3 - u2};
}

// The spline value at t of a track whose key k has the value value(k) (a Vector3).
template <typename Value> Vector3 spline_value(const KeyTrack& track, double t, Value value) {
    const Place place = find_place(track, track_time(track, t));
    if (place.u == 0) return value(place.i);
    const auto change = [&](size_t k) { return vector_sub(value(k), value(k - 1)); };
    const size_t i = place.i;
    const Tangents at_start =
        tcb_tangents(track.keys[i], step_into(track, i, change), step_into(track, i + 1, change));
    const Tangents at_end = tcb_tangents(track.keys[i + 1], step_into(track, i + 1, change),
                                         step_into(track, i + 2, change));
    const double u = ease(place.u, track.keys[i].ease_from, track.keys[i + 1].ease_to);
    const Hermite h = hermite(u);
    Vector3 out = vector_scale(value(i), h.p0);
    out = vector_add(out, vector_scale(value(i + 1), h.p1));
    out = vector_add(out, vector_scale(at_start.out, h.m0));
    return vector_add(out, vector_scale(at_end.in, h.m1));
}

// The file turns clockwise about the key's axis: the quaternion's angle is the key's negated.
Vector3 relative_turn_log(const TrackKey& key) {
    const Vector3 axis = vector_normalised(file_axes(key.value[1], key.value[2], key.value[3]));
    return vector_scale(axis, -double(key.value[0]) / 2);
}

} // namespace

bool track_is_animated(const KeyTrack& track) {
    return track.keys.size() > 1;
}

bool hide_track_is_animated(const KeyTrack& track) {
    return !track.keys.empty();
}

double track_time(const KeyTrack& track, double t) {
    if (track.keys.empty()) return t;
    const double first = track.keys.front().frame, last = track.keys.back().frame;
    if ((track.loop || track.repeat) && last > first && std::isfinite(t)) {
        const double span = last - first;
        t -= std::floor((t - first) / span) * span;
    }
    if (!(t >= first)) return first; // NaN too
    return std::min(t, last);
}

Vector3 vector_track_value(const KeyTrack& track, double t, const Vector3& fallback) {
    if (track.keys.empty()) return fallback;
    return spline_value(track, t, [&](size_t k) {
        const TrackKey& key = track.keys[k];
        return file_axes(key.value[0], key.value[1], key.value[2]);
    });
}

double scalar_track_value(const KeyTrack& track, double t, double fallback) {
    if (track.keys.empty()) return fallback;
    return spline_value(track, t, [&](size_t k) {
        return Vector3{double(track.keys[k].value[0]), 0, 0};
    })[0];
}

Quaternion rotation_track_value(const KeyTrack& track, double t) {
    if (track.keys.empty()) return {};
    const Place place = find_place(track, track_time(track, t));
    // Each key turns after the orientation of the key before it.
    Quaternion q;
    for (size_t k = 0; k <= place.i; ++k)
        q = quaternion_normalised(
            quaternion_multiply(quaternion_exp(relative_turn_log(track.keys[k])), q));
    if (place.u == 0) return q;
    const size_t i = place.i;
    const auto change = [&](size_t k) { return relative_turn_log(track.keys[k]); };
    const Tangents at_start =
        tcb_tangents(track.keys[i], step_into(track, i, change), step_into(track, i + 1, change));
    const Tangents at_end = tcb_tangents(track.keys[i + 1], step_into(track, i + 1, change),
                                         step_into(track, i + 2, change));
    const double u = ease(place.u, track.keys[i].ease_from, track.keys[i + 1].ease_to);
    const Hermite h = hermite(u);
    // The curve runs in the logarithm of the turn from key i, from nothing to the whole turn.
    Vector3 turn = vector_scale(change(i + 1), h.p1);
    turn = vector_add(turn, vector_scale(at_start.out, h.m0));
    turn = vector_add(turn, vector_scale(at_end.in, h.m1));
    return quaternion_normalised(quaternion_multiply(quaternion_exp(turn), q));
}

bool hide_track_value(const KeyTrack& track, double t) {
    if (track.keys.empty()) return false;
    // Before its first key a node is visible: the time is not held at the first key.
    const double at = track.loop || track.repeat ? track_time(track, t) : t;
    bool hidden = false;
    for (const TrackKey& key : track.keys)
        if (double(key.frame) <= at) hidden = !hidden;
    return hidden;
}
