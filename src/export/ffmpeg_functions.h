#pragma once

#include "base/status.h"
#include "platform/function_table.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

namespace marlin {

// Every FFmpeg function export calls, each beside the library that holds it.
#define MARLIN_FFMPEG_FUNCTIONS(X)              \
  X(avutil, av_channel_layout_copy)             \
  X(avutil, av_channel_layout_default)          \
  X(avutil, av_dict_copy)                       \
  X(avutil, av_dict_free)                       \
  X(avutil, av_dict_set)                        \
  X(avutil, av_frame_alloc)                     \
  X(avutil, av_frame_free)                      \
  X(avutil, av_frame_get_buffer)                \
  X(avutil, av_frame_make_writable)             \
  X(avutil, av_mallocz)                         \
  X(avutil, av_log_format_line2)                \
  X(avutil, av_log_set_callback)                \
  X(avutil, av_opt_set)                         \
  X(avutil, av_opt_set_double)                  \
  X(avutil, av_reduce)                          \
  X(avutil, av_rescale_q)                       \
  X(avutil, av_strerror)                        \
  X(avcodec, av_new_packet)                     \
  X(avcodec, av_packet_alloc)                   \
  X(avcodec, av_packet_clone)                   \
  X(avcodec, av_packet_free)                    \
  X(avcodec, av_packet_rescale_ts)              \
  X(avcodec, av_packet_unref)                   \
  X(avcodec, avcodec_alloc_context3)            \
  X(avcodec, avcodec_find_best_pix_fmt_of_list) \
  X(avcodec, avcodec_find_encoder)              \
  X(avcodec, avcodec_free_context)              \
  X(avcodec, avcodec_open2)                     \
  X(avcodec, avcodec_parameters_copy)           \
  X(avcodec, avcodec_parameters_from_context)   \
  X(avcodec, avcodec_receive_packet)            \
  X(avcodec, avcodec_send_frame)                \
  X(avformat, av_interleaved_write_frame)       \
  X(avformat, av_read_frame)                    \
  X(avformat, av_write_frame)                   \
  X(avformat, av_write_trailer)                 \
  X(avformat, avformat_alloc_output_context2)   \
  X(avformat, avformat_close_input)             \
  X(avformat, avformat_free_context)            \
  X(avformat, avformat_new_stream)              \
  X(avformat, avformat_open_input)              \
  X(avformat, avformat_write_header)            \
  X(avformat, avio_closep)                      \
  X(avformat, avio_flush)                       \
  X(avformat, avio_open)                        \
  X(swscale, sws_freeContext)                   \
  X(swscale, sws_getContext)                    \
  X(swscale, sws_scale)

// The functions typed as the headers declare them, so that every call is
// checked against the version the headers are from.
struct FfmpegFunctions {
#define MARLIN_FFMPEG_POINTER(library, name) decltype(&::name) name = nullptr;
  MARLIN_FFMPEG_FUNCTIONS(MARLIN_FFMPEG_POINTER)
#undef MARLIN_FFMPEG_POINTER
};

// Opens the libraries of the major versions the headers are from and points
// every function at its symbol; a failure names the library or function that
// is missing.
Status lookUpFfmpeg(FfmpegFunctions& functions);

// FFmpeg is looked up on first use rather than linked: with the hundred and
// more libraries it brings, loading it was most of every run's start-up,
// while most runs never export. Ffmpeg::load() looks it up the first time.
using Ffmpeg = FunctionTable<FfmpegFunctions, lookUpFfmpeg>;

// What export calls FFmpeg through; only once Ffmpeg::load() has succeeded.
inline const FfmpegFunctions& av() { return Ffmpeg::functions(); }

}  // namespace marlin
