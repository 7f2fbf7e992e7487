// Library use count, creation, clone and destroy, setters and getters.
#include "tests/unit/resampler/engine_fixture.h"

namespace {

using namespace enginetest;

TEST(ConverterLibrary, UseCountKeepsOnePoolUntilTheLastFinalize) {
    int32_t err = 1;
    NUVSRC_Initialize(&err);
    EXPECT_EQ(err, 0);
    NuvDelegate* first[nuvsrc::kPoolSize];
    for (int32_t i = 0; i < nuvsrc::kPoolSize; ++i) {
        first[i] = nuvsrc::PoolWorker(i);
        EXPECT_NE(first[i], nullptr);
    }
    NUVSRC_Initialize(&err);
    EXPECT_EQ(err, 0);
    for (int32_t i = 0; i < nuvsrc::kPoolSize; ++i)
        EXPECT_EQ(nuvsrc::PoolWorker(i), first[i]);
    NUVSRC_Finalize(&err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(nuvsrc::PoolWorker(0), first[0]);
    NUVSRC_Finalize(&err);
    EXPECT_EQ(err, 0);
    for (int32_t i = 0; i < nuvsrc::kPoolSize; ++i)
        EXPECT_EQ(nuvsrc::PoolWorker(i), nullptr);
    // An unmatched finalize does not unbalance the count.
    NUVSRC_Finalize(&err);
    EXPECT_EQ(err, 0);
    NUVSRC_Initialize(&err);
    EXPECT_NE(nuvsrc::PoolWorker(0), nullptr);
    NUVSRC_Finalize(&err);
    EXPECT_EQ(nuvsrc::PoolWorker(0), nullptr);
}

TEST(ConverterLibrary, CreateNeedsTheLibrary) {
    Messages messages;
    int32_t err = 0;
    EXPECT_EQ(NUVSRC_Create(&err), nullptr);
    EXPECT_EQ(err, -1);
    EXPECT_EQ(messages.Take(),
              std::vector<std::string>{"E2006102403:Can not create critical section object."});
}

TEST(ConverterLifecycle, FreshConverterPassesFortyEightKilohertzThrough) {
    Library lib;
    int32_t err = 1;
    Converter c(NUVSRC_Create(&err));
    ASSERT_EQ(err, 0);
    int32_t in = 0, out = 0;
    c->GetSamplingRates(&in, &out, &err);
    EXPECT_EQ(in, 48000);
    EXPECT_EQ(out, 48000);
    EXPECT_EQ(c->GetQuality(&err), 10);
    EXPECT_EQ(c->GetFilterMemorySize(&err), 0x80000000LL);
    EXPECT_FALSE(ConverterTestPeer::Inspect(c.p).has_table);
    EXPECT_EQ(ConverterTestPeer::Inspect(c.p).output_capacity, 48000);
    const auto input = Noise(48000, 1);
    EXPECT_TRUE(SameBits(Stream(c.p, input, {48000}), input));
    c->GetSamplingRates(nullptr, nullptr, &err);
    EXPECT_EQ(err, 0);
}

TEST(ConverterLifecycle, RefusedSettersLeaveTheStateUnchanged) {
    Library lib;
    Messages messages;
    Converter c(44100, 48000, 7, 1 << 24);
    const auto input = Noise(3000, 2);
    Stream(c.p, input, {3000}, false);
    const int32_t fill = ConverterTestPeer::Inspect(c.p).history_fill;
    int32_t err = 0;
    for (int32_t q : {2, 11, -1}) {
        c->SetQuality(q, &err);
        EXPECT_EQ(err, -1);
    }
    c->SetSamplingRates(0, 48000, &err);
    EXPECT_EQ(err, -1);
    c->SetSamplingRates(44100, -5, &err);
    EXPECT_EQ(err, -1);
    c->SetFilterMemorySize(-1, &err);
    EXPECT_EQ(err, -1);
    const std::vector<std::string> expected = {
        "E2006102406:Illegal quality value is passed.",
        "E2006102406:Illegal quality value is passed.",
        "E2006102406:Illegal quality value is passed.",
        "E2006102404:Illegal rate is passed.",
        "E2006102404:Illegal rate is passed.",
        "E2007100901:Illegal filter memory size.",
    };
    EXPECT_EQ(messages.Take(), expected);
    EXPECT_EQ(c->GetQuality(&err), 7);
    int32_t in = 0, out = 0;
    c->GetSamplingRates(&in, &out, &err);
    EXPECT_EQ(in, 44100);
    EXPECT_EQ(out, 48000);
    EXPECT_EQ(c->GetFilterMemorySize(&err), 1 << 24);
    EXPECT_EQ(ConverterTestPeer::Inspect(c.p).history_fill, fill);
    for (int32_t q : {3, 10}) {
        c->SetQuality(q, &err);
        EXPECT_EQ(err, 0);
    }
}

TEST(ConverterLifecycle, SettersWithUnchangedValuesStillDiscardTheStream) {
    Library lib;
    Converter c(44100, 48000, 7);
    const auto input = Noise(8000, 3);
    const auto first = Stream(c.p, input, {5000});
    int32_t err = 1;
    Stream(c.p, input, {3000}, false);
    c->SetSamplingRates(44100, 48000, &err);
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(SameBits(Stream(c.p, input, {5000}), first));
    Stream(c.p, input, {3000}, false);
    c->SetQuality(7, &err);
    EXPECT_TRUE(SameBits(Stream(c.p, input, {5000}), first));
    Stream(c.p, input, {3000}, false);
    c->SetFilterMemorySize(0, &err);
    EXPECT_FALSE(ConverterTestPeer::Inspect(c.p).has_table);
    EXPECT_TRUE(SameBits(Stream(c.p, input, {5000}), first));
}

TEST(ConverterLifecycle, CloneSharesTheTableAndOutlivesItsSource) {
    Library lib;
    const auto input = Noise(10000, 4);
    auto* source = new Converter(48000, 44100, 8);
    const auto expected = Stream(source->p, input, {10000});
    source->p->Reset(nullptr);
    int32_t err = 1;
    Converter clone(source->p->Clone(&err));
    ASSERT_EQ(err, 0);
    ASSERT_NE(clone.p, nullptr);
    EXPECT_EQ(ConverterTestPeer::Inspect(clone.p).rows, ConverterTestPeer::Inspect(source->p).rows);
    delete source;  // destroys the source first
    EXPECT_TRUE(ConverterTestPeer::Inspect(clone.p).has_table);
    EXPECT_EQ(clone->GetQuality(&err), 8);
    EXPECT_TRUE(SameBits(Stream(clone.p, input, {2500}), expected));
}

TEST(ConverterLifecycle, RedesignOfACloneLeavesTheSourceTableAlone) {
    Library lib;
    Converter source(44100, 48000, 5);
    int32_t err = 1;
    Converter clone(source->Clone(&err));
    const auto rows = ConverterTestPeer::Inspect(source.p).rows;
    clone->SetQuality(6, &err);
    EXPECT_NE(ConverterTestPeer::Inspect(clone.p).rows, rows);
    EXPECT_EQ(ConverterTestPeer::Inspect(source.p).rows, rows);
    const auto input = Noise(5000, 6);
    Converter fresh(44100, 48000, 5);
    EXPECT_TRUE(SameBits(Stream(source.p, input, {5000}), Stream(fresh.p, input, {5000})));
}

TEST(ConverterLifecycle, NullErrorPointerIsAccepted) {
    Library lib;
    INuvSamplingRateConverter* c = NUVSRC_Create(nullptr);
    ASSERT_NE(c, nullptr);
    c->SetQuality(42, nullptr);
    EXPECT_EQ(c->GetQuality(NUVSRC_DiscardError()), 10);
    c->Destroy(nullptr);
}

}  // namespace

namespace {

// A lock whose Enter or Leave fails on request, as a broken platform lock
// would.
class FailingLock final : public NuvCsObj {
  public:
    int32_t fail_enter = 0;
    int32_t fail_leave = 0;
    void Destroy(int32_t* err) override {
        *err = 0;
        delete this;
    }
    void Enter(int32_t* err) override { *err = Take(&fail_enter); }
    void Leave(int32_t* err) override { *err = Take(&fail_leave); }

  private:
    static int32_t Take(int32_t* code) {
        const int32_t c = *code;
        *code = 0;
        return c;
    }
};

TEST(ConverterCallProtocol, FailedEnterIsReportedAndTheCallStillRuns) {
    Library lib;
    Messages messages;
    Converter c(44100, 48000, 3);
    auto* lock = new (NUVALLOC_ProcessAllocator(), "FailingLock", 4) FailingLock();
    ConverterTestPeer::ReplaceLock(c.p, lock);
    lock->fail_enter = -1;
    int32_t err = 0;
    c->SetQuality(5, &err);
    EXPECT_EQ(err, -1);
    EXPECT_EQ(c->GetQuality(&err), 5);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(messages.Take(),
              std::vector<std::string>{"2006080301:Failed to enter critical section."});
}

TEST(ConverterCallProtocol, FailedLeaveIsReturnedByTheNextCall) {
    Library lib;
    Messages messages;
    Converter c(44100, 48000, 3);
    auto* lock = new (NUVALLOC_ProcessAllocator(), "FailingLock", 4) FailingLock();
    ConverterTestPeer::ReplaceLock(c.p, lock);
    lock->fail_leave = -1;
    int32_t err = 1;
    EXPECT_EQ(c->GetQuality(&err), 3);
    EXPECT_EQ(err, 0);
    c->Reset(&err);
    EXPECT_EQ(err, -1);
    c->Reset(&err);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(messages.Take(),
              std::vector<std::string>{"2006080302:Failed to leave critical section."});
}

}  // namespace
