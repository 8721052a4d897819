#include "effects/colormodel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "effects/effectbase.h"

namespace {

// Hue (0..1) of the tone colour; its saturation and lightness play no part.
double ToneHue(int tone) {
  int tr = tone & 0xFF, tg = (tone >> 8) & 0xFF, tb = (tone >> 16) & 0xFF;
  int mx = std::max({tr, tg, tb}), mn = std::min({tr, tg, tb});
  if (mx == mn) return 0;
  double r = tr / 255.0, g = tg / 255.0, b = tb / 255.0, d = mx / 255.0 - mn / 255.0;
  double h = tr == mx ? (g - b) / d : tg == mx ? (b - r) / d + 2 : (r - g) / d + 4;
  h = h / 6;
  return h < 0 ? h + 1 : h;
}

// The colour tone of a pixel whose luminance is lum (0..255): the luminance
// is spread into three slightly different powers, whose lightness and (half
// as much again) saturation are given the tone's hue.
RGBTRIPLE TonedColor(int lum, double hue) {
  double y = lum * (1.0 / 255);
  int c0 = static_cast<uint8_t>(TruncInt(std::pow(y, 0.8) * 255));
  int c1 = static_cast<uint8_t>(TruncInt(std::pow(y, 1.0) * 255));
  int c2 = static_cast<uint8_t>(TruncInt(std::pow(y, 1.2) * 255));
  int mx = std::max({c0, c1, c2}), mn = std::min({c0, c1, c2});
  double l = (mx + mn) * 0.5 * (1.0 / 255), s = 0;
  if (mx != mn) {
    double mxf = mx / 255.0, mnf = mn / 255.0, d = mxf - mnf;
    s = l < 0.5 ? d / (mxf + mnf) : d / (2 - mxf - mnf);
  }
  s = s * 150 * 0.01;
  if (s < FLT_EPSILON) {
    uint8_t grey = ClampByte(TruncInt(l * 255));
    return {grey, grey, grey};
  }
  double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s;
  double m1 = 2 * l - m2;
  // k is the hue position in sixths of the circle.
  auto channel = [m1, m2](double k) {
    if (k > 6)
      k -= 6;
    else if (k < 0)
      k += 6;
    if (k < 1) return m1 + (m2 - m1) * k;
    if (k < 3) return m2;
    if (k < 4) return m1 + (m2 - m1) * (4 - k);
    return m1;
  };
  return MakeRGBColor(channel(6 * hue + 2), channel(6 * hue), channel(6 * hue - 2));
}

// The complement of a pixel less its grey part K: sets reduced to the
// complement minus K and returns K.
int ReducedComplement(const uint8_t* p, RGBTRIPLE& reduced) {
  int c0 = 255 - p[0], c1 = 255 - p[1], c2 = 255 - p[2];
  int k = std::min({c0, c1, c2});
  reduced = {static_cast<uint8_t>(c0 - k), static_cast<uint8_t>(c1 - k), static_cast<uint8_t>(c2 - k)};
  return k;
}

// One pixel through the HLS model, shifted by the steps, and back.
RGBTRIPLE ShiftHLS(RGBTRIPLE color, double dH, double dL, double dS) {
  int r = color.rgbtRed, g = color.rgbtGreen, b = color.rgbtBlue;
  // Maximum and minimum; ties go to red, then green. The hue lies
  // 60 * diff / (mx - mn) degrees from the base of the maximum's channel.
  int mx = r, mn = g, diff = g - b, base = 360;
  if (g > r) {
    mx = g;
    mn = r;
    diff = b - r;
    base = 120;
  }
  if (b < mn) {
    mn = b;
  } else if (b > mx) {
    mx = b;
    diff = r - g;
    base = 240;
  }
  double h = 0, l, s = 0;
  if (mx == mn) {
    l = mx * (1.0 / 255);
  } else {
    l = (mx + mn) * (1.0 / 510);
    s = l <= 0.5 ? static_cast<double>(mx - mn) / (mx + mn) : static_cast<double>(mx - mn) / (510 - mx - mn);
    h = 60 * diff / static_cast<double>(mx - mn) + base;
    if (h >= 360) h -= 360;
  }
  // Limited, not wrapped: a hue pushed past 360 stays 360.
  h = std::clamp(h + dH, 0.0, 360.0);
  l = std::clamp(l + dL, 0.0, 1.0);
  s = std::clamp(s + dS, 0.0, 1.0);
  if (s <= 0) {
    auto grey = static_cast<uint8_t>(TruncInt(l * 255));
    return {grey, grey, grey};
  }
  double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  double m1 = 2 * l - m2;
  return {static_cast<uint8_t>(HueToChannel(h - 120, m2, m1)), static_cast<uint8_t>(HueToChannel(h, m2, m1)),
          static_cast<uint8_t>(HueToChannel(h + 120, m2, m1))};
}

}  // namespace

RGBTRIPLE MakeRGBColor(double r, double g, double b) {
  return {ClampByte(TruncInt(b * 255)), ClampByte(TruncInt(g * 255)), ClampByte(TruncInt(r * 255))};
}

void ConvertRGBToHSV(RGBTRIPLE color, double& h, double& s, double& v) {
  int r = color.rgbtRed, g = color.rgbtGreen, b = color.rgbtBlue;
  int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  v = mx * (1.0 / 255);
  if (mx == mn) {
    s = 0;
    h = 0;
    return;
  }
  s = static_cast<double>(mx - mn) / mx;
  double rf = r * (1.0 / 255), gf = g * (1.0 / 255), bf = b * (1.0 / 255), d = (mx - mn) * (1.0 / 255);
  if (r == mx)
    h = (gf - bf) / d;
  else if (g == mx)
    h = (bf - rf) / d + 2;
  else
    h = (rf - gf) / d + 4;
  h = h * (1.0 / 6);
  if (h < 0)
    h += 1;
  else if (h > 1)
    h -= 1;
}

RGBTRIPLE ConvertHSVToRGB(double h, double s, double v) {
  if (s < FLT_EPSILON) return MakeRGBColor(v, v, v);
  if (h == 1.0) h = 0;
  double h6 = 6 * h;
  int i = TruncInt(h6);
  double f = h6 - i;
  double p = (1 - s) * v, q = (1 - s * f) * v, t = (1 - (1 - f) * s) * v;
  switch (i) {
    case 0:
      return MakeRGBColor(v, t, p);
    case 1:
      return MakeRGBColor(q, v, p);
    case 2:
      return MakeRGBColor(p, v, t);
    case 3:
      return MakeRGBColor(p, q, v);
    case 4:
      return MakeRGBColor(t, p, v);
    case 5:
      return MakeRGBColor(v, p, q);
    default:
      return MakeRGBColor(0, 0, 0);
  }
}

int HueToChannel(double hue, double m2, double m1) {
  if (hue >= 360)
    hue -= 360;
  else if (hue < 0)
    hue += 360;
  double value = m1;
  if (hue < 60)
    value = m1 + (m2 - m1) * hue * (1.0 / 60);
  else if (hue < 180)
    value = m2;
  else if (hue < 240)
    value = m1 + (m2 - m1) * (240 - hue) * (1.0 / 60);
  return TruncInt(value * 255);
}

void ApplyColorTone(TBitmap& picture, int tone) {
  if (NoPixels(picture)) return;
  // The result depends only on the pixel's luminance: one entry per value.
  double hue = ToneHue(tone);
  RGBTRIPLE table[256];
  for (int lum = 0; lum < 256; ++lum) table[lum] = TonedColor(lum, hue);
  ForEachPixelInBands(picture, [&table](uint8_t* p) { WriteTriple(p, table[WeightedGrey(p)]); });
}

namespace {
// The reduced complement t with its value stretched from minV..maxV to
// 0..1, as 0x01BBGGRR. Worked out once per colour, apart from the pixel loop.
[[gnu::noinline]] uint32_t StretchedComplement(const RGBTRIPLE& t, double minV, double maxV) {
  double hue, s, v;
  ConvertRGBToHSV(t, hue, s, v);
  if (maxV != minV) v = (v - minV) / (maxV - minV);
  RGBTRIPLE c = ConvertHSVToRGB(hue, s, v);
  return 1u << 24 | c.rgbtBlue << 16 | c.rgbtGreen << 8 | c.rgbtRed;
}
}  // namespace

void ApplyAutoColor(TBitmap& picture) {
  if (NoPixels(picture)) return;
  // The value of a reduced complement is its largest channel times 1/255,
  // and that channel is the pixel's own max - min: the extreme values come
  // from the extreme ranges (0 and 255 give exactly the start values 0.0 and
  // 1.0).
  const int w = picture.Width(), h = picture.Height();
  const auto rows = RowPointers(picture);
  int maxRange = 0, minRange = 255;
  std::mutex joining;
  ForEachBand(h, w, [&](int first, int last) {
    int most = 0, least = 255;
    for (int y = first; y < last; ++y)
      for (const uint8_t* p = rows[y]; p < rows[y] + 3 * w; p += 3) {
        int range = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
        most = std::max(most, range);
        least = std::min(least, range);
      }
    std::lock_guard<std::mutex> hold(joining);
    maxRange = std::max(maxRange, most);
    minRange = std::min(minRange, least);
  });
  const double maxV = maxRange * (1.0 / 255), minV = minRange * (1.0 / 255);
  // The stretched colour depends only on the reduced complement, one of
  // whose channels is 0: it is kept, once worked out, under that channel and
  // the other two (as 0x01BBGGRR; 0 while not yet known).
  const auto stretched = [maxV, minV](const RGBTRIPLE& t) { return StretchedComplement(t, minV, maxV); };
  constexpr int keys = 3 << 16;
  // A large picture meets most of them: with several threads all are worked
  // out first, in bands, into one table. Otherwise the bands fill tables
  // with the ones they meet, a table for each band at work at once (on one
  // thread, the one table), as many as the picture's bytes hold; a band
  // that finds none left, and a picture smaller than one, work out every
  // pixel's colour.
  const int64_t pixels = int64_t(w) * h;
  const bool whole = BandThreads() > 1 && pixels >= 4 * int64_t(keys);
  const int64_t tables = 3 * pixels / (int64_t(keys) * int64_t(sizeof(uint32_t)));
  int64_t made = 0;
  std::vector<uint32_t> shared(whole ? keys : 0);
  if (whole)
    ForEachRowInBands(keys >> 8, 256, [&](int high) {
      for (int low = 0; low < 256; ++low) {
        const int key = high << 8 | low, a = high & 0xFF;
        RGBTRIPLE t{};
        if (key >> 16 == 0) t = {0, static_cast<uint8_t>(a), static_cast<uint8_t>(low)};
        else if (key >> 16 == 1) t = {static_cast<uint8_t>(a), 0, static_cast<uint8_t>(low)};
        else t = {static_cast<uint8_t>(a), static_cast<uint8_t>(low), 0};
        shared[key] = stretched(t);
      }
    });
  // The tables the bands fill, each taken by one band at a time.
  std::vector<std::unique_ptr<std::vector<uint32_t>>> spare;
  std::mutex sparing;
  ForEachBand(h, w, [&](int first, int last) {
    std::unique_ptr<std::vector<uint32_t>> own;
    if (!whole) {
      bool make = false;
      {
        std::lock_guard<std::mutex> hold(sparing);
        if (!spare.empty()) {
          own = std::move(spare.back());
          spare.pop_back();
        } else if (made < tables) {
          ++made;
          make = true;
        }
      }
      if (make) own = std::make_unique<std::vector<uint32_t>>(keys);
    }
    uint32_t* known = whole ? shared.data() : own ? own->data() : nullptr;
    for (int y = first; y < last; ++y)
      for (uint8_t* p = rows[y]; p < rows[y] + 3 * w; p += 3) {
        RGBTRIPLE t;
        int k = ReducedComplement(p, t);
        int key = t.rgbtBlue == 0    ? t.rgbtGreen << 8 | t.rgbtRed
                  : t.rgbtGreen == 0 ? 1 << 16 | t.rgbtBlue << 8 | t.rgbtRed
                                     : 2 << 16 | t.rgbtBlue << 8 | t.rgbtGreen;
        uint32_t colour;
        if (!known) {
          colour = stretched(t);
        } else {
          if (known[key] == 0) known[key] = stretched(t);
          colour = known[key];
        }
        p[0] = static_cast<uint8_t>(255 - std::min(static_cast<int>(colour >> 16 & 0xFF) + k, 255));
        p[1] = static_cast<uint8_t>(255 - std::min(static_cast<int>(colour >> 8 & 0xFF) + k, 255));
        p[2] = static_cast<uint8_t>(255 - std::min(static_cast<int>(colour & 0xFF) + k, 255));
      }
    if (own) {
      std::lock_guard<std::mutex> hold(sparing);
      spare.push_back(std::move(own));
    }
  });
}

void ApplyHLS(TBitmap& picture, int hueIndex, int lightnessIndex, int saturationIndex) {
  if (NoPixels(picture)) return;
  double dH = HLSHueSteps[std::clamp(hueIndex, 0, 30)];
  double dL = HLSLightnessSteps[std::clamp(lightnessIndex, 0, 20)];
  double dS = HLSSaturationSteps[std::clamp(saturationIndex, 0, 20)];
  ForEachPixelInBands(picture, [=](uint8_t* p) { WriteTriple(p, ShiftHLS(ReadTriple(p), dH, dL, dS)); });
}
