// kalvorant_web.h - the C entry the web page (and its Node tests) call through WebAssembly.
//
// The page is the platform: it hands over the bytes of a .3ds file, picks a view, asks for one
// frame per 20 ms tick and draws the pixels itself. When a person takes hold of the scene (drags
// it, turns the wheel, presses a key on it), the page switches to looking around: a still picture
// that the desktop viewer's controls turn, zoom and pan, drawn again only when it changes.
// Everything here is the same loader, view and demo frame that the native program and tools use, so
// a frame equals theirs bit for bit.
//
// Units: the frame is kalv_width() x kalv_height() pixels, rows top to bottom with no gap;
// kalv_pixels() holds them as 0x00RRGGBB words, kalv_rgba() as R, G, B, 255 bytes for a canvas.
// Ownership: the module owns the scene, its pictures and both pixel buffers; the pointers it
// returns stay valid until the next call of kalv_load, kalv_set_view, kalv_step, kalv_look_start or
// kalv_look_draw. Strings are NUL-terminated and live until the next call that changes them. The
// caller owns the bytes given to kalv_load. Failures: kalv_load, kalv_set_view and kalv_look_start
// return 0 and leave the current scene and view untouched; kalv_error() then gives a one-line
// reason. No exception leaves these functions.
#pragma once

#include <cstdint>

extern "C" {

// Hands over a picture file (its name and bytes, copied) for the next kalv_load, which looks for
// its materials' pictures among the files handed over since the last load as the native tools look
// in the scene's folder: the exact name first, then ignoring letter case. Returns 1, or 0 when
// there is no memory for it (the pictures handed over so far are then dropped).
int kalv_give_picture(const char* name, const uint8_t* bytes, uint32_t size);

// Loads a scene from a file image called name (for the warnings), shows it in view (as
// kalv_set_view names them) and restarts at frame 0. The scene is prepared for that view alone, so
// a scene that only has memory for one view can still be opened in the view a person wants. Its
// pictures are decoded once, here; one that is missing or cannot be decoded leaves its faces in
// the material's colour, with a warning. Returns 1, or 0 with the reason in kalv_error() (the
// previous scene keeps its state).
int kalv_load(const char* name, const uint8_t* bytes, uint32_t size, const char* view);

// The loaded file's warnings about its pictures, kalvorant-render's lines without the program's
// name ("warning: texture \"X.PNG\" of material \"M\": not found beside scene.3ds"), each ended
// by a newline; "" when there are none.
const char* kalv_warnings(void);

// The reason of the last refused load or view, or "" after a success.
const char* kalv_error(void);

// Chooses the view of the loaded scene: "demo", "fit", "camera" (the first camera) or
// "camera:NAME", and restarts at frame 0. The look and the up axis stay as they were chosen.
// Returns 1, or 0 with the reason in kalv_error().
int kalv_set_view(const char* view);

// Chooses how the view draws: look "demo", "model" or "" (the view's own: the demo look in the
// demo view, the model look elsewhere), and the file axis up in the fit view, "z" or "y". The
// scene is prepared again for them and restarts at frame 0. A loaded file starts with "" and
// "z". Returns 1, or 0 with the reason in kalv_error() (the view then stays as it was).
int kalv_set_options(const char* look, const char* up);

// The look the view draws in ("demo" or "model") and its up axis ("z" or "y").
const char* kalv_view_look(void);
const char* kalv_view_up(void);

// The file's own animation. In the fit and camera views of a file that moves (some track with more
// than one key), each kalv_step shows the next key frame instead of spinning: the segment's first
// after a start, then 0.6 key frames further each frame (30 a second on the 20 ms clock), looping
// over the segment, so that frame k is kalvorant-render --play's frame k. The demo view keeps the
// demo's own motion.
// kalv_file_animated: 1 when the loaded file moves; kalv_view_animated: 1 when the view plays it.
int kalv_file_animated(void);
int kalv_view_animated(void);
// The segment (whole key frames, first <= last) and the key frame of the frame last drawn (the
// first one before any).
int kalv_first_key_frame(void);
int kalv_last_key_frame(void);
double kalv_key_frame(void);
// The next kalv_step shows key_frame (held within the segment), and playing goes on from there.
// Returns 0 and does nothing when the view does not play the file.
int kalv_seek(double key_frame);

// Draws the next frame (frame numbers start at 1) and prepares both pixel buffers.
void kalv_step(void);

// The picture last drawn (by kalv_step, or by kalv_look_draw while looking around).
const uint32_t* kalv_pixels(void);
const uint8_t* kalv_rgba(void);
int kalv_width(void);
int kalv_height(void);

// The number of the frame now in the buffers (0 before the first step).
int kalv_frame_number(void);

// Counts of the loaded scene (0 when none is loaded).
int kalv_mesh_count(void);
int kalv_face_count(void);
int kalv_camera_count(void);

// The bytes of camera i's name (Latin-1 as the file has them), or "" when i is out of range.
const char* kalv_camera_name(int i);

// Looking around. The spinning view keeps its state meanwhile: kalv_look_stop returns to it as it
// was, so kalv_step carries on from the same frame. Positions are frame pixels (x right, y down);
// keys are virtual-key codes (letters as upper-case ASCII). The page forwards only the keys whose
// effect it shows: F fit again, C the file's next camera (and back to the free orbit), D the demo
// view, L the look, U the up axis (the scene is prepared again for it, as the desktop viewer
// does); it saves pictures itself. Looking around starts with the look the person chose for the
// spinning view (the model look when they chose none) and its up axis.

// Prepares the loaded scene for looking around, in the fit view, unless it is already; the next
// kalv_look_draw draws. Returns 1, or 0 with the reason in kalv_error() (no scene, no memory).
int kalv_look_start(void);

// Leaves looking around and gives its memory back. A look or up axis changed meanwhile (L, U)
// carries over to the spinning view, which then restarts at frame 0: 1 then, -1 when it could
// not (the reason in kalv_error(); the view keeps its look and axis), 0 when nothing changed
// and the spinning view goes on from where it was.
int kalv_look_stop(void);

// 1 while looking around.
int kalv_look_active(void);

// Playing the file's animation while looking around (Space plays or pauses, Left and Right step
// one key frame, Home goes to the first, as in the desktop viewer): seconds passed while playing
// turn into whole key frames, 30 a second; 1 when the key frame changed. Looking around starts
// paused, at the whole key frame nearest the spinning view's.
int kalv_look_play(double seconds);
int kalv_look_playing(void);
int kalv_look_key_frame(void);
// Shows the whole key frame nearest key_frame, within the segment; nothing for a still file.
void kalv_look_seek(double key_frame);

// A key pressed on the picture: its virtual-key code (Space 0x20, Home 0x24, Left 0x25, Right
// 0x27).
void kalv_look_key(int key);

// A pointer: kind 0 pressed, 1 moved, 2 released; button 0 left, 1 middle, 2 right; shift 1 when
// Shift was held as it was pressed. A left drag turns, a right or middle drag (or Shift with the
// left) pans.
void kalv_look_pointer(int kind, int button, int x, int y, int shift);

// Wheel steps, positive towards the scene (turned away from the person), fractions allowed.
void kalv_look_wheel(double steps);

// Two fingers moved apart to ratio times their distance (below 1: together): the scene grows
// about ratio times, as much as the wheel would zoom it.
void kalv_look_pinch(double ratio);

// Draws the picture when it changed since the last one (or was never drawn): 1, and both pixel
// buffers hold it; else 0 and nothing was drawn.
int kalv_look_draw(void);

// The view shown: "fit", "orbit", "demo" or "camera NAME"; and what the controls last had to say
// about a key they could not follow ("" when nothing), both until the next look call.
const char* kalv_look_view(void);
const char* kalv_look_message(void);

// While looking around, its look ("model" or "demo") and up axis ("z" or "y"); else "".
const char* kalv_look_look(void);
const char* kalv_look_up(void);
}
