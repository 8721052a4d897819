// Angular pattern and fractal remaps. The expected tables were worked out
// with an independent calculator from the effects' definitions.
#include "effects/angular.h"

#include "tests/effects/effecttest.h"

namespace {

std::string Bytes(RGBTRIPLE c) {
  return std::to_string(c.rgbtBlue) + "," + std::to_string(c.rgbtGreen) + "," + std::to_string(c.rgbtRed);
}

}  // namespace

TEST(AngularFractalRemaps, Illusion) {
  // D = 3, S = 1; row 2 is the centre row of the even height and takes the
  // angles and distances of row 1.
  auto picture = MakeSpreadBitmap(6, 4);
  ApplyIllusion(*picture, 3);
  EXPECT_EQ(PixelTable(*picture),
            "58,20,220 87,20,202 61,20,218 104,20,191 141,20,168 173,20,148\n"
            "52,65,199 79,65,182 108,65,164 117,65,158 152,65,136 181,65,118\n"
            "52,110,174 79,110,157 108,110,139 117,110,133 152,110,111 181,110,93\n"
            "52,155,149 79,155,132 108,155,114 117,140,116 152,134,98 181,122,87");
  // At the corner (0, 0) of 4 x 3 (D = 2) the distance is 1.25: it takes
  // 1.25 times the step to pixel (1, 0), clamped.
  auto corner = MakeSpreadBitmap(4, 3);
  const uint8_t pair[6] = {20, 100, 200, 0, 100, 250};
  std::copy(pair, pair + 6, corner->ScanLine(0));
  ApplyIllusion(*corner, 1);
  EXPECT_EQ(PixelAt(*corner, 0, 0), RGB(255, 100, 0));

  ExpectRefused<EZeroDivide>(5, 4, [](TBitmap& b) { ApplyIllusion(b, 0); });
}

TEST(AngularFractalRemaps, Moire) {
  // The centre column reuses the angle of the pixel to its left; a computed
  // 0 keeps the pixel's own coordinate.
  EXPECT_EQ(SourcesAfter(5, 5, [](TBitmap& b) { ApplyMoire(b, 10); }),
            "0,2 1,1 2,0 3,0 4,0\n0,2 1,1 2,1 3,1 1,1\n0,2 1,2 2,2 3,2 1,2\n"
            "0,1 1,1 2,3 1,3 2,3\n0,1 1,4 2,1 1,4 2,4");
  // One column lies wholly on the centre column: the angle is 0.
  EXPECT_EQ(SourcesAfter(1, 5, [](TBitmap& b) { ApplyMoire(b, 10); }), "0,1\n0,1\n0,2\n0,3\n0,1");
}

TEST(AngularFractalRemaps, FractalHelpers) {
  TComplexPoint z{};
  IterateFractalPoint({0.5, -0.25}, z, 2);  // 0.6875 - 0.5i after one step
  EXPECT_EQ(z.Re, 0.6875 * 0.6875 - 0.25 + 0.5);
  EXPECT_EQ(z.Im, 2 * 0.6875 * -0.5 - 0.25);

  // 4 x 4, one step: kx = 0.375, ky = 0.5.
  double fx = -1, fy = -1;
  EXPECT_TRUE(MapFractalPoint(2, 1, fx, fy, 4, 4, 1));  // z = -0.4375 - 0.25i
  EXPECT_EQ(std::pair(fx, fy), std::pair(1.5, 1.5));
  MapFractalPoint(0, 0, fx, fy, 3, 2, 1);  // z = -1 + i: fy = 2, the height, folds to 0
  EXPECT_EQ(std::pair(fx, fy), std::pair(0.0, 0.0));
  EXPECT_THROW(MapFractalPoint(0, 0, fx, fy, 0, 2, 1), EZeroDivide);

  const uint8_t p00[3] = {0, 0, 0}, p10[3] = {100, 10, 200}, p01[3] = {50, 20, 0}, p11[3] = {150, 30, 100};
  EXPECT_EQ(Bytes(InterpolateBilinear(0.25, 0.5, p00, p10, p01, p11)), "50,12,37");
  // Fractions below 2^-23 give p00 itself, not a blend a hair below it.
  EXPECT_EQ(Bytes(InterpolateBilinear(1e-8, 1e-8, p10, p00, p11, p01)), "100,10,200");
  EXPECT_EQ(Bytes(InterpolateBilinear(1, 0.5, p00, p10, p01, p11)), "255,255,255");
}

TEST(AngularFractalRemaps, Fractal) {
  auto picture = MakeSpreadBitmap(4, 3);
  ApplyFractal(*picture, 2);
  EXPECT_EQ(PixelTable(*picture),
            "10,20,250 45,105,180 53,100,178 42,30,224\n126,60,155 61,61,194 96,71,167 111,63,162\n"
            "126,105,130 61,105,170 96,103,149 111,105,139");
  // One pixel wide (high): the missing neighbour is the picture's own
  // column (row), weighted 0.
  auto column = MakeSpreadBitmap(1, 4);
  ApplyFractal(*column, 1);
  EXPECT_EQ(PixelTable(*column), "10,20,250\n10,150,177\n10,110,200\n10,65,225");
}
