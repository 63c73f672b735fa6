#include "adl/TimeCode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

uint32_t Samples(const char* text) {
    adl::CTimeCode t;
    EXPECT_TRUE(t.Parse(text)) << text;
    return t.GetSamples();
}

std::string FormatAt(uint32_t samples, int frameKind, int rateKind) {
    adl::CTimeCode t;
    t.Set(samples, static_cast<uint8_t>(frameKind), static_cast<uint8_t>(rateKind));
    return t.Format();
}

struct KindText {
    char s1, s2, s3;
};
const KindText kSeparators[7] = {{0, 0, 0},       {'=', '=', '.'}, {'.', '.', '.'}, {':', ':', '.'},
                                 {':', ':', ','}, {'|', '|', '.'}, {'|', '|', ','}};
const char kSubSeparator[4] = {0, 'L', '|', '/'};

void TextInto(char (&text)[32], int kind, int rate, int hh, int mm, int ss, int ff, int sub) {
    const KindText& k = kSeparators[kind];
    std::snprintf(text, sizeof text, "%02d%c%02d%c%02d%c%02d%c%04d", hh, k.s1, mm, k.s2, ss, k.s3, ff,
                  kSubSeparator[rate], sub);
}

std::string Text(int kind, int rate, int hh, int mm, int ss, int ff, int sub) {
    char text[32];
    TextInto(text, kind, rate, hh, mm, ss, ff, sub);
    return text;
}

TEST(TimeCodeValues, WorkedValues) {
    EXPECT_EQ(Samples("01.00.00.00|0000"), 158760000u);
    EXPECT_EQ(Samples("00.01.02.03|0004"), 2739496u);
    EXPECT_EQ(Samples("00=00=00.01L0000"), 919u);
    EXPECT_EQ(Samples("00=00=01.00L0000"), 22056u);
    EXPECT_EQ(Samples("00:00:01.00|0000"), 44144u);
    EXPECT_EQ(Samples("00|01|00,02|0000"), 2646000u);
    EXPECT_EQ(Samples("00|10|00,00|0000"), 26433540u);
    EXPECT_EQ(FormatAt(2646005, 2, 2), "00.01.00.00|0005");
}

TEST(TimeCodeValues, TwiceSamplesPerFrameFollowsTheRoundingRule) {
    struct Row {
        int kind, rate;
        uint32_t expected;
    } rows[] = {{1, 1, 1838}, {1, 2, 3675}, {2, 1, 1764}, {2, 2, 3528}, {5, 1, 1470},
                {6, 2, 2940}, {3, 2, 2940}, {1, 3, 4000}, {2, 3, 3840}, {5, 3, 3200},
                {1, 4, 2667}, {2, 4, 2560}, {6, 4, 2133}, {0, 2, 0},    {7, 2, 0}};
    for (const Row& r : rows) {
        EXPECT_EQ(adl::CTimeCode::TwiceSamplesPerFrame(r.kind, r.rate), r.expected)
            << r.kind << "/" << r.rate;
    }
}

TEST(TimeCodeValues, DefaultAndKindSetters) {
    adl::CTimeCode t;
    EXPECT_EQ(t.Format(), "00.00.00.00|0000");
    t.SetFrameKind(7);
    t.SetRateKind(0);
    EXPECT_EQ(t.GetFrameKind(), 2);
    EXPECT_EQ(t.GetRateKind(), 2);
    t.SetRateKind(4);
    EXPECT_EQ(t.Format(), ""); // 32000 Hz has no text form
    t.Set(5, 0, 2);
    EXPECT_EQ(t.Format(), "");
}

// Every valid hh:mm:ss:ff of a kind, in time order, with a sub-frame count that varies per frame.
// Checks that text -> position -> text is exact and that each frame starts half a frame-pair later.
TEST(TimeCodeRoundTrip, EveryFrameOfKinds1256AtEveryRate) {
    for (int kind : {1, 2, 5, 6}) {
        const bool drop = kind == 6;
        const int fps = kind == 1 ? 24 : kind == 2 ? 25 : 30;
        for (int rate : {1, 2, 3}) {
            const uint32_t h = adl::CTimeCode::TwiceSamplesPerFrame(kind, rate);
            const uint32_t maxSub = h / 2 - 1;
            int failures = 0;
            // One hour per kind and rate keeps the run short; the hour part is a plain multiple.
            for (int hh : {(kind + rate) % 2 == 0 ? 0 : 23}) {
                uint32_t previous = 0;
                bool first = true;
                uint32_t n = 0;
                for (int mm = 0; mm < 60; ++mm) {
                    for (int ss = 0; ss < 60; ++ss) {
                        for (int ff = 0; ff < fps; ++ff) {
                            if (drop && ss == 0 && ff < 2 && mm % 10 != 0) {
                                continue; // frames 00 and 01 of these minutes do not exist
                            }
                            const uint32_t sub = (++n * 7919u) % (maxSub + 1);
                            char text[32], back[adl::CTimeCode::kTextBufferSize];
                            TextInto(text, kind, rate, hh, mm, ss, ff, static_cast<int>(sub));
                            adl::CTimeCode t;
                            if (!t.Parse(text) || t.GetFrameKind() != kind || t.GetRateKind() != rate) {
                                ADD_FAILURE()
                                    << text << " does not parse as kind " << kind << " rate " << rate;
                                return;
                            }
                            const uint32_t start = t.GetSamples() - sub;
                            t.Format(back);
                            if (std::strcmp(back, text) != 0 && ++failures < 5) {
                                ADD_FAILURE() << text << " formats as " << back;
                            }
                            if (!first) {
                                const uint32_t step = start - previous;
                                if ((step != h / 2 && step != (h + 1) / 2) && ++failures < 5) {
                                    ADD_FAILURE() << text << " starts " << step << " samples after the last";
                                }
                            }
                            first = false;
                            previous = start;
                        }
                    }
                }
            }
            EXPECT_EQ(failures, 0) << "kind " << kind << " rate " << rate;
        }
    }
}

TEST(TimeCodeRoundTrip, EverySubFrameCountOfSomeFrames) {
    for (int kind : {1, 2, 5, 6}) {
        for (int rate : {1, 2, 3}) {
            const int maxSub = static_cast<int>(adl::CTimeCode::TwiceSamplesPerFrame(kind, rate) / 2) - 1;
            for (int ff : {0, 3, kind == 1 ? 23 : kind == 2 ? 24 : 29}) {
                for (int sub = 0; sub <= maxSub; ++sub) {
                    const std::string text = Text(kind, rate, 1, 11, 1, ff, sub);
                    adl::CTimeCode t;
                    ASSERT_TRUE(t.Parse(text.c_str()));
                    ASSERT_EQ(t.Format(), text);
                }
            }
        }
    }
}

// 29.97 fps: the sub-frame counts 1000 and 1001 share one position (the conversion folds 1001
// samples onto 1000), so 1000 comes back as 1001; every other time code comes back unchanged.
TEST(TimeCodeRoundTrip, NtscKinds3And4) {
    for (int kind : {3, 4}) {
        for (int rate : {1, 2, 3}) {
            const uint32_t h = adl::CTimeCode::TwiceSamplesPerFrame(kind, rate);
            int failures = 0;
            uint32_t n = 0;
            for (int mm = 0; mm < 60; ++mm) {
                for (int ss = 0; ss < 60; ++ss) {
                    for (int ff = 0; ff < 30; ++ff) {
                        if (kind == 4 && ss == 0 && ff < 2 && mm % 10 != 0) {
                            continue;
                        }
                        // Valid counts are those that stay inside the nominal frame after scaling.
                        uint32_t sub = (++n * 7919u) % (h / 2 + h / 2000);
                        if (sub == 1000) {
                            sub = 999;
                        }
                        const std::string text = Text(kind, rate, 2, mm, ss, ff, static_cast<int>(sub));
                        adl::CTimeCode t;
                        ASSERT_TRUE(t.Parse(text.c_str()));
                        if (t.Format() != text && ++failures < 5) {
                            ADD_FAILURE() << text << " formats as " << t.Format();
                        }
                    }
                }
            }
            EXPECT_EQ(failures, 0) << "kind " << kind << " rate " << rate;
            for (int sub = 0; sub < static_cast<int>(h / 2 + h / 2000); ++sub) {
                const std::string text = Text(kind, rate, 0, 12, 34, 5, sub);
                adl::CTimeCode t;
                ASSERT_TRUE(t.Parse(text.c_str()));
                EXPECT_EQ(t.Format(), sub == 1000 ? Text(kind, rate, 0, 12, 34, 5, 1001) : text);
            }
        }
    }
}

TEST(TimeCodeRoundTrip, NtscPositionsBetweenSamplesFormatWithoutFailing) {
    adl::CTimeCode t;
    t.Set(1000, 3, 2); // lies between two nominal samples
    EXPECT_EQ(t.Format(), "00:00:00.00|1001");
    t.Set(44143, 3, 2);
    EXPECT_EQ(t.Format().size(), 16u);
}

TEST(TimeCodeDropFrame, Frames1799And1800) {
    const uint32_t h = 2940;
    EXPECT_EQ(FormatAt((h * 1799 + 1) / 2, 6, 2), "00|00|59,29|0000");
    EXPECT_EQ(FormatAt((h * 1800 + 1) / 2, 6, 2), "00|01|00,02|0000");
    EXPECT_EQ(FormatAt((h * 17982 + 1) / 2, 6, 2), "00|10|00,00|0000");
    for (const char* text :
         {"00:00:59,29|0000", "00:01:00,02|0000", "00:10:00,00|0000", "00:09:59,29|1469"}) {
        adl::CTimeCode t;
        ASSERT_TRUE(t.Parse(text));
        EXPECT_EQ(t.Format(), text);
    }
    adl::CTimeCode last, next;
    ASSERT_TRUE(last.Parse("00|00|59,29|1469"));
    ASSERT_TRUE(next.Parse("00|01|00,02|0000"));
    EXPECT_EQ(next.GetSamples(), last.GetSamples() + 1);
}

TEST(TimeCodeParse, FortyEightKilohertzIsWrittenWithSlashAndReadWithSlashOrComma) {
    adl::CTimeCode t;
    t.Set(48000 * 61 + 17, 2, 3);
    EXPECT_EQ(t.Format(), "00.01.01.00/0017");
    adl::CTimeCode back;
    ASSERT_TRUE(back.Parse("00.01.01.00/0017"));
    EXPECT_EQ(back.GetRateKind(), 3);
    EXPECT_EQ(back.GetSamples(), t.GetSamples());
    ASSERT_TRUE(back.Parse("00.01.01.00,0017"));
    EXPECT_EQ(back.GetRateKind(), 3);
    EXPECT_EQ(back.GetSamples(), t.GetSamples());
}

TEST(TimeCodeParse, Refusals) {
    adl::CTimeCode t;
    ASSERT_TRUE(t.Parse("00.00.01.00|0000"));
    EXPECT_FALSE(t.Parse("00.00.01.00|000"));
    EXPECT_TRUE(t.IsInvalid());
    EXPECT_EQ(t.GetSamples(), 0u);
    adl::CTimeCode second;
    second.Set(44100, 2, 2);
    t.Set(44100, 2, 2);
    EXPECT_FALSE(t.Parse("00.00.01.00|00000"));
    EXPECT_TRUE(t == second); // comparisons see the position, which survived the refusal

    EXPECT_FALSE(t.Parse("00#00#01.00|0000"));
    EXPECT_TRUE(t.IsInvalid());
    EXPECT_TRUE(t == adl::CTimeCode()); // an unknown separator resets the position

    EXPECT_FALSE(t.Parse("00.00.01.00X0000"));
    EXPECT_FALSE(t.Parse(nullptr));
    EXPECT_TRUE(t.Parse("00.00.01.00|0000"));
    EXPECT_FALSE(t.IsInvalid());
}

TEST(TimeCodeParse, SpaceForTheSampleRateKeepsTheRateKind) {
    adl::CTimeCode t;
    t.SetRateKind(1);
    ASSERT_TRUE(t.Parse("00.00.01.00 0000"));
    EXPECT_EQ(t.GetRateKind(), 1);
    EXPECT_EQ(t.GetSamples(), 22050u);
}

TEST(TimeCodeParse, JunkDigitsNeverOverflow) {
    adl::CTimeCode t;
    EXPECT_TRUE(t.Parse("99.99.99.99|9999"));
    EXPECT_TRUE(t.Parse("-9.-9.-9.-9|-999"));
    EXPECT_TRUE(t.Parse("ab.cd.ef.gh|ijkl"));
    EXPECT_EQ(t.GetSamples(), 0u);
    EXPECT_TRUE(t.Parse("00.00999999|9999"));
}

TEST(TimeCodeArithmetic, PositionsOnly) {
    adl::CTimeCode a, b;
    a.Set(100, 6, 1);
    b.Set(250, 1, 3);
    EXPECT_EQ((a - b).GetSamples(), 0u);
    EXPECT_EQ((b - a).GetSamples(), 150u);
    EXPECT_EQ((b - 300u).GetSamples(), 0u);
    EXPECT_EQ((a + 0xFFFFFFFFu).GetSamples(), 99u);
    EXPECT_EQ((a + b).GetSamples(), 350u);
    EXPECT_EQ((a + b).GetFrameKind(), 2);
    EXPECT_EQ((a + b).GetRateKind(), 2);
    a -= 1000;
    EXPECT_EQ(a.GetSamples(), 0u);
    a += 250;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a <= b && a >= b && !(a < b) && !(a > b));
}

TEST(TimeCodeArithmetic, AssignmentFromAValidValueClearsInvalid) {
    adl::CTimeCode bad;
    EXPECT_FALSE(bad.Parse("junk"));
    adl::CTimeCode good;
    good.Set(500, 5, 1);
    bad = good;
    EXPECT_EQ(bad.GetSamples(), 500u);
    EXPECT_EQ(bad.GetFrameKind(), 5);
    EXPECT_EQ(bad.GetRateKind(), 1);
}

} // namespace
