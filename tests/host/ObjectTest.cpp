#include "host/Object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Exceptions.h"
#include "host/Sets.h"
#include "host/Strings.h"

namespace {

std::vector<std::string> gLog;

class TBase : public host::TObject {
public:
    ~TBase() override { gLog.push_back("~TBase"); }
    void BeforeDestruction() override { gLog.push_back("before:" + ClassName()); }
};

class TDerived : public TBase {
public:
    ~TDerived() override { gLog.push_back("~TDerived"); }
};

template <class T>
class TBox : public host::TObject {};

TEST(Object, ClassNameIsTheDynamicClassWithoutNamespace) {
    TDerived d;
    const TBase& b = d;
    EXPECT_EQ(b.ClassName(), "TDerived");
    host::TStringList list;
    EXPECT_EQ(list.ClassName(), "TStringList");
    TBox<int> box;
    EXPECT_EQ(box.ClassName(), "TBox<int>");
}

TEST(Object, DeleteCallsBeforeDestructionWithTheFullTypeFirst) {
    gLog.clear();
    TBase* object = new TDerived;
    delete object;
    EXPECT_EQ(gLog, (std::vector<std::string>{"before:TDerived", "~TDerived", "~TBase"}));
}

TEST(Persistent, AssignWithoutSupportRaisesTheAssignError) {
    host::TStringList list;
    try {
        list.Assign(nullptr);
        FAIL();
    } catch (const host::EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TStringList");
    }
    EXPECT_EQ(list.GetNamePath(), "TStringList");
}

enum TOption : uint8_t { oA, oB, oC };

TEST(Sets, BitsFollowOrdinals) {
    host::TSet<TOption> s{oA, oC};
    EXPECT_EQ(s.Bits(), 5u);
    EXPECT_TRUE(s.Contains(oC));
    EXPECT_FALSE(s.Contains(oB));
    s.Include(oB);
    s.Exclude(oA);
    EXPECT_EQ(s.Bits(), 6u);
    EXPECT_EQ((s + host::TSet<TOption>{oA}).Bits(), 7u);
    EXPECT_EQ((s - host::TSet<TOption>{oB}).Bits(), 4u);
    EXPECT_EQ((s * host::TSet<TOption>{oA, oB}).Bits(), 2u);
    EXPECT_TRUE(host::TSet<TOption>{oB}.IsSubsetOf(s));
    EXPECT_TRUE(host::TSet<TOption>().Empty());
    EXPECT_EQ(host::TSet<TOption>::FromBits(3), (host::TSet<TOption>{oA, oB}));
}

} // namespace
