// The capture path after the platform hands over the pixels: black-frame
// test, PNG encoding, SHA-256 and Base64, on rendered window content, with
// libpng at its default settings as the reference encoder. Times are CPU
// time of the one thread that does the work, which a machine shared with
// other builds disturbs less than wall time; the benchmarks of the encoder on
// several threads (pipeline_threads) measure wall time instead, beside the
// stages that stay on one thread (serial_stages) and the size of the striped
// PNG against one unstriped stream of the same rows (stripe_cost).
//
// Source frames are screenshots rendered by headless Chromium from the pages
// in frames/ (frames/render). Larger frames are composed from them at start:
// each column of tiles is shifted vertically by its own amount, so that no
// two tiles within deflate's 32 KiB window repeat the same rows, which would
// make tiled frames compress unrealistically well. Every frame gets the
// transparent rounded corners that a captured macOS window has, so the
// encoder keeps its alpha channel as it does for real captures.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/image_routines.hpp"
#include "image/png_encoder.hpp"
#include "text/base64.hpp"

namespace {

using pellucor::platform::CapturedImage;

struct RGBAImage {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<std::uint8_t> pixels;  // straight RGBA, rows top to bottom
};

RGBAImage loadPNG(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    throw std::runtime_error("cannot read " + path + ": " + image.message);
  }
  image.format = PNG_FORMAT_RGBA;
  RGBAImage out{image.width, image.height, std::vector<std::uint8_t>(PNG_IMAGE_SIZE(image))};
  if (png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) == 0) {
    throw std::runtime_error("cannot decode " + path + ": " + image.message);
  }
  return out;
}

RGBAImage halve(const RGBAImage& source) {
  RGBAImage out{source.width / 2, source.height / 2, {}};
  out.pixels.resize(out.width * out.height * 4);
  for (std::size_t y = 0; y < out.height; ++y) {
    for (std::size_t x = 0; x < out.width; ++x) {
      for (std::size_t c = 0; c < 4; ++c) {
        const auto at = [&](std::size_t dx, std::size_t dy) {
          return unsigned{source.pixels[((2 * y + dy) * source.width + 2 * x + dx) * 4 + c]};
        };
        out.pixels[(y * out.width + x) * 4 + c] =
            static_cast<std::uint8_t>((at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4);
      }
    }
  }
  return out;
}

// A frame of `width` by `height` pixels tiled from `source` with shifted
// columns and rounded transparent corners of `radius` pixels, as premultiplied
// BGRA.
CapturedImage compose(const RGBAImage& source, std::size_t width, std::size_t height, double radius) {
  CapturedImage frame;
  frame.width = static_cast<std::int64_t>(width);
  frame.height = static_cast<std::int64_t>(height);
  frame.bytesPerRow = width * 4;
  frame.pixels.resize(frame.bytesPerRow * height);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::size_t column = x / source.width;
      const std::size_t shift = column * source.height * 37 / 100;
      const std::uint8_t* in = &source.pixels[(((y + shift) % source.height) * source.width + x % source.width) * 4];
      // Coverage of the rounded corner at this pixel's centre.
      const double cx = std::min(static_cast<double>(x) + 0.5, static_cast<double>(width - x) - 0.5);
      const double cy = std::min(static_cast<double>(y) + 0.5, static_cast<double>(height - y) - 0.5);
      double coverage = 1.0;
      if (cx < radius && cy < radius) {
        const double distance = std::hypot(radius - cx, radius - cy);
        coverage = std::clamp(radius - distance + 0.5, 0.0, 1.0);
      }
      const auto alpha = static_cast<unsigned>(std::lround(coverage * in[3]));
      std::uint8_t* out = &frame.pixels[y * frame.bytesPerRow + x * 4];
      out[0] = static_cast<std::uint8_t>((in[2] * alpha + 127) / 255);
      out[1] = static_cast<std::uint8_t>((in[1] * alpha + 127) / 255);
      out[2] = static_cast<std::uint8_t>((in[0] * alpha + 127) / 255);
      out[3] = static_cast<std::uint8_t>(alpha);
    }
  }
  return frame;
}

enum class Content { ui, photo };

// The frame of `content` at the size: the editor is rendered at twice its
// point size, so 2560x1440 is a crop of it and 1280x800 its point-size
// rendering; everything else is tiled.
CapturedImage makeFrame(Content content, std::size_t width, std::size_t height) {
  const std::string directory = PELLUCOR_BENCH_FRAMES;
  constexpr double kCornerRadiusPoints = 10.0;
  if (content == Content::photo) return compose(loadPNG(directory + "/photo.png"), width, height, kCornerRadiusPoints);
  const RGBAImage ui = loadPNG(directory + "/ui.png");
  if (width <= ui.width / 2 && height <= ui.height / 2) return compose(halve(ui), width, height, kCornerRadiusPoints);
  return compose(ui, width, height, 2 * kCornerRadiusPoints);
}

// libpng at its default settings (zlib level 6, every filter tried per row)
// with the same straightening of colour our encoder does, as ImageIO or any
// other encoder would have to do too.
std::string encodeWithLibpng(const CapturedImage& frame) {
  const auto width = static_cast<std::size_t>(frame.width);
  const auto height = static_cast<std::size_t>(frame.height);
  bool opaque = true;
  for (std::size_t i = 3; i < frame.pixels.size(); i += 4) opaque = opaque && frame.pixels[i] == 255;
  const std::size_t step = opaque ? 3 : 4;
  std::vector<std::uint8_t> rows(width * height * step);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint8_t* in = &frame.pixels[y * frame.bytesPerRow + x * 4];
      std::uint8_t* out = &rows[(y * width + x) * step];
      const unsigned alpha = in[3];
      for (std::size_t c = 0; c < 3; ++c) {
        const unsigned premultiplied = in[2 - c];
        out[c] = alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (premultiplied * 255 + alpha / 2) / alpha));
      }
      if (!opaque) out[3] = static_cast<std::uint8_t>(alpha);
    }
  }
  std::string png;
  png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(writer);
  png_set_write_fn(
      writer, &png,
      [](png_structp w, png_bytep data, png_size_t size) {
        static_cast<std::string*>(png_get_io_ptr(w))->append(reinterpret_cast<const char*>(data), size);
      },
      nullptr);
  png_set_IHDR(writer, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(writer, info);
  for (std::size_t y = 0; y < height; ++y) png_write_row(writer, &rows[y * width * step]);
  png_write_end(writer, info);
  png_destroy_write_struct(&writer, &info);
  return png;
}

void setSizeCounters(benchmark::State& state, std::size_t pngBytes) {
  state.counters["png_MB"] = static_cast<double>(pngBytes) / 1e6;
  state.counters["under_ceiling"] = pngBytes <= pellucor::kPNGCeiling ? 1 : 0;
}

const char* nameOf(Content content) { return content == Content::ui ? "ui" : "photo"; }

const char* nameOf(pellucor::PNGRowFilter filter) {
  switch (filter) {
    case pellucor::PNGRowFilter::none: return "none";
    case pellucor::PNGRowFilter::sub: return "sub";
    case pellucor::PNGRowFilter::up: return "up";
    case pellucor::PNGRowFilter::average: return "average";
    case pellucor::PNGRowFilter::paeth: return "paeth";
    case pellucor::PNGRowFilter::adaptive: return "adaptive";
  }
  return "";
}

// Everything the capture does with the pixels, in its order, with `encode`
// writing the PNG.
template <typename Encode>
void pipelineEncodingWith(benchmark::State& state, const CapturedImage& frame,
                          const pellucor::PNGEncoderSettings& chosen, Encode encode) {
  state.SetLabel(std::string(nameOf(chosen.rowFilter)) + "/level" + std::to_string(chosen.compressionLevel));
  std::size_t pngBytes = 0;
  for (auto _ : state) {
    if (pellucor::isEmptyOrBlack(frame)) state.SkipWithError("frame refused as black");
    const std::string png = encode();
    benchmark::DoNotOptimize(pellucor::sha256Hex(png));
    benchmark::DoNotOptimize(pellucor::text::encodeBase64(png));
    pngBytes = png.size();
  }
  setSizeCounters(state, pngBytes);
}

// The capture's pipeline as the helper runs it: the settings chosen inside.
void pipeline(benchmark::State& state, Content content, std::size_t width, std::size_t height) {
  const CapturedImage frame = makeFrame(content, width, height);
  pipelineEncodingWith(state, frame, pellucor::choosePNGEncoderSettings(frame),
                       [&frame] { return pellucor::encodePNG(frame); });
}

// The pipeline with the encoder on `threads` threads, in wall time. The
// settings are chosen once, outside the loop: encodePNG(image) makes the same
// choice with the probe (a few milliseconds, on one thread) and otherwise
// does what encodePNG(image, settings, threads) does.
void pipelineOnThreads(benchmark::State& state, Content content, std::size_t width, std::size_t height,
                       unsigned threads) {
  const CapturedImage frame = makeFrame(content, width, height);
  const pellucor::PNGEncoderSettings chosen = pellucor::choosePNGEncoderSettings(frame);
  pipelineEncodingWith(state, frame, chosen,
                       [&frame, &chosen, threads] { return pellucor::encodePNG(frame, chosen, threads); });
}

// What stays on one thread whatever the number of cores: the black-frame
// test, the choice of settings (the opacity scan and the probe, which the
// encoder repeats), the digest and the Base64 of the PNG.
void serialStages(benchmark::State& state, Content content, std::size_t width, std::size_t height) {
  const CapturedImage frame = makeFrame(content, width, height);
  const std::string png = pellucor::encodePNG(frame);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pellucor::isEmptyOrBlack(frame));
    benchmark::DoNotOptimize(pellucor::choosePNGEncoderSettings(frame));
    benchmark::DoNotOptimize(pellucor::sha256Hex(png));
    benchmark::DoNotOptimize(pellucor::text::encodeBase64(png));
  }
}

// The straightened rows of `frame` filtered with None or Sub, as the encoder
// filters them, in one buffer.
std::vector<std::uint8_t> filteredRows(const CapturedImage& frame, pellucor::PNGRowFilter filter) {
  const auto width = static_cast<std::size_t>(frame.width);
  const auto height = static_cast<std::size_t>(frame.height);
  bool opaque = true;
  for (std::size_t i = 3; i < frame.pixels.size(); i += 4) opaque = opaque && frame.pixels[i] == 255;
  const std::size_t step = opaque ? 3 : 4;
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> row(width * step);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint8_t* in = &frame.pixels[y * frame.bytesPerRow + x * 4];
      const unsigned alpha = in[3];
      for (std::size_t c = 0; c < 3; ++c) {
        row[x * step + c] =
            alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (unsigned{in[2 - c]} * 255 + alpha / 2) / alpha));
      }
      if (!opaque) row[x * step + 3] = static_cast<std::uint8_t>(alpha);
    }
    const bool sub = filter == pellucor::PNGRowFilter::sub;
    out.push_back(sub ? 1 : 0);
    for (std::size_t i = 0; i < row.size(); ++i) {
      out.push_back(sub && i >= step ? static_cast<std::uint8_t>(row[i] - row[i - step]) : row[i]);
    }
  }
  return out;
}

// The PNG's size against one unstriped zlib stream of the same filtered rows
// at the same level: what compressing in stripes costs.
void stripeCost(benchmark::State& state, Content content, std::size_t width, std::size_t height) {
  const CapturedImage frame = makeFrame(content, width, height);
  const pellucor::PNGEncoderSettings chosen = pellucor::choosePNGEncoderSettings(frame);
  const std::vector<std::uint8_t> rows = filteredRows(frame, chosen.rowFilter);
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(chosen.compressionLevel);
  std::vector<std::uint8_t> whole(libdeflate_zlib_compress_bound(compressor, rows.size()));
  const std::size_t wholeSize = libdeflate_zlib_compress(compressor, rows.data(), rows.size(), whole.data(), whole.size());
  libdeflate_free_compressor(compressor);
  std::size_t pngBytes = 0;
  for (auto _ : state) pngBytes = pellucor::encodePNG(frame, chosen, 1).size();
  state.SetLabel(std::string(nameOf(chosen.rowFilter)) + "/level" + std::to_string(chosen.compressionLevel));
  state.counters["striped_MB"] = static_cast<double>(pngBytes) / 1e6;
  state.counters["unstriped_stream_MB"] = static_cast<double>(wholeSize) / 1e6;
  state.counters["growth_percent"] = 100.0 * (static_cast<double>(pngBytes) - 57.0 - static_cast<double>(wholeSize)) /
                                     static_cast<double>(wholeSize);
}

void libpngReference(benchmark::State& state, Content content, std::size_t width, std::size_t height) {
  const CapturedImage frame = makeFrame(content, width, height);
  std::size_t pngBytes = 0;
  for (auto _ : state) {
    const std::string png = encodeWithLibpng(frame);
    pngBytes = png.size();
  }
  setSizeCounters(state, pngBytes);
}

// The encoder alone with given settings, to choose the level and the filter.
void encoderSettings(benchmark::State& state, Content content, pellucor::PNGEncoderSettings settings) {
  const CapturedImage frame = makeFrame(content, 2560, 1440);
  std::size_t pngBytes = 0;
  for (auto _ : state) pngBytes = pellucor::encodePNG(frame, settings).size();
  setSizeCounters(state, pngBytes);
}

// The black-frame test's worst case: a black frame, every sample looked at.
// A frame with visible content stops at its first bright sample.
void blackFrameTest(benchmark::State& state, std::size_t side) {
  CapturedImage frame;
  frame.width = static_cast<std::int64_t>(side);
  frame.height = static_cast<std::int64_t>(side);
  frame.bytesPerRow = side * 4;
  frame.pixels.assign(frame.bytesPerRow * side, 0);
  for (auto _ : state) {
    if (!pellucor::isEmptyOrBlack(frame)) state.SkipWithError("black frame accepted");
  }
}

void digest(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), '\x5a');
  for (auto _ : state) benchmark::DoNotOptimize(pellucor::sha256Hex(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void base64(benchmark::State& state) {
  std::string bytes(static_cast<std::size_t>(state.range(0)), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
  for (auto _ : state) benchmark::DoNotOptimize(pellucor::text::encodeBase64(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void registerAll() {
  struct Size {
    std::size_t width;
    std::size_t height;
  };
  constexpr Size kSizes[] = {{1280, 800}, {2560, 1440}, {5120, 2880}, {8192, 8192}};
  for (const Content content : {Content::ui, Content::photo}) {
    for (const Size size : kSizes) {
      const std::string suffix =
          std::string(nameOf(content)) + "/" + std::to_string(size.width) + "x" + std::to_string(size.height);
      benchmark::RegisterBenchmark(("pipeline/" + suffix).c_str(), pipeline, content, size.width, size.height)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("libpng_default/" + suffix).c_str(), libpngReference, content, size.width,
                                   size.height)
          ->Unit(benchmark::kMillisecond);
    }
  }
  for (const Content content : {Content::ui, Content::photo}) {
    for (const Size size : {Size{2560, 1440}, Size{5120, 2880}}) {
      const std::string suffix =
          std::string(nameOf(content)) + "/" + std::to_string(size.width) + "x" + std::to_string(size.height);
      for (const unsigned threads : {1u, 2u}) {
        benchmark::RegisterBenchmark(("pipeline_threads/" + suffix + "/threads:" + std::to_string(threads)).c_str(),
                                     pipelineOnThreads, content, size.width, size.height, threads)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
      }
      benchmark::RegisterBenchmark(("serial_stages/" + suffix).c_str(), serialStages, content, size.width,
                                   size.height)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark(("stripe_cost/" + suffix).c_str(), stripeCost, content, size.width, size.height)
          ->Unit(benchmark::kMillisecond)
          ->Iterations(1);
    }
  }
  for (const Content content : {Content::ui, Content::photo}) {
    for (const auto filter : {pellucor::PNGRowFilter::none, pellucor::PNGRowFilter::sub, pellucor::PNGRowFilter::up,
                              pellucor::PNGRowFilter::average, pellucor::PNGRowFilter::paeth,
                              pellucor::PNGRowFilter::adaptive}) {
      for (int level = 1; level <= 9; ++level) {
        const std::string name = std::string("encoder_settings/") + nameOf(content) + "/2560x1440/" +
                                 nameOf(filter) + "/level" + std::to_string(level);
        benchmark::RegisterBenchmark(name.c_str(), encoderSettings, content,
                                     pellucor::PNGEncoderSettings{level, filter})
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  for (const std::size_t side : {std::size_t{1280}, std::size_t{8192}}) {
    benchmark::RegisterBenchmark(("black_frame_test/all_black/" + std::to_string(side)).c_str(), blackFrameTest, side)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("sha256", digest)->Arg(1 << 20)->Arg(12 << 20)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("base64", base64)->Arg(1 << 20)->Arg(12 << 20)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
