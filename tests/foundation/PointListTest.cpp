#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "foundation/PointList.h"

namespace {

TPoint3D P(int32_t N) { return TPoint3D{N, -N, N * 10}; }

template <typename F>
std::string MessageOf(F&& Call) {
    try {
        Call();
    } catch (const EOrvexException& Error) {
        return Error.what();
    }
    return "<no exception>";
}

// Count, capacity and contents, to show that a refused call changed nothing.
std::vector<TPoint3D> Snapshot(const TPointChain& C) {
    std::vector<TPoint3D> S(C.Points(), C.Points() + C.Count());
    S.push_back(TPoint3D{C.Count(), C.Capacity(), 0});
    return S;
}

TEST(PointChainTest, AppendsGrowInSteps) {
    TPointChain C;
    EXPECT_EQ(C.Count(), 0);
    EXPECT_EQ(C.Capacity(), 0);
    std::vector<int32_t> Capacities;
    for (int32_t I = 0; I < 113; ++I) {
        const int32_t Before = C.Capacity();
        EXPECT_EQ(C.Add(P(I)), I);
        if (C.Capacity() != Before) Capacities.push_back(C.Capacity());
    }
    EXPECT_EQ(Capacities, (std::vector<int32_t>{1, 5, 9, 25, 41, 57, 73, 91, 113}));
    for (int32_t I = 0; I < 113; ++I) ASSERT_EQ(C.Get(I), P(I));
}

TEST(PointChainTest, GetPastEndIsZeroAndNegativeRaises) {
    TPointChain C;
    EXPECT_EQ(C.Get(0), TPoint3D{});
    C.Add(P(1));
    EXPECT_EQ(C.Get(1), TPoint3D{});
    EXPECT_EQ(C.Get(INT32_MAX), TPoint3D{});
    EXPECT_EQ(MessageOf([&] { C.Get(-1); }), "PointList.Get: Bad Index -1");
}

TEST(PointChainTest, PutPastEndExtendsWithZeros) {
    TPointChain C;
    C.Put(5, P(7));
    EXPECT_EQ(C.Count(), 6);
    EXPECT_EQ(C.Capacity(), 6);  // exact, no growth step
    for (int32_t I = 0; I < 5; ++I) EXPECT_EQ(C.Get(I), TPoint3D{});
    EXPECT_EQ(C.Get(5), P(7));
    C.Put(2, P(3));
    EXPECT_EQ(C.Count(), 6);
    EXPECT_EQ(C.Get(2), P(3));

    EXPECT_EQ(MessageOf([&] { C.Put(-4, P(1)); }), "PointList.Put: Bad Index -4");
    // The count one past the top index cannot be represented.
    EXPECT_EQ(MessageOf([&] { C.Put(INT32_MAX, P(1)); }), "PointList.SetCount: Bad Count -2147483648");
    EXPECT_EQ(MessageOf([&] { C.Put(MaxPointListSize, P(1)); }), "PointList.SetCount: Bad Count 134217728");
    EXPECT_EQ(C.Count(), 6);
}

TEST(PointChainTest, SetCountZeroFillsStaleSlots) {
    TPointChain C;
    for (int32_t I = 1; I <= 4; ++I) C.Add(P(I));
    C.SetCount(1);
    EXPECT_EQ(C.Capacity(), 5);
    C.SetCount(4);
    EXPECT_EQ(C.Get(0), P(1));
    for (int32_t I = 1; I < 4; ++I) EXPECT_EQ(C.Get(I), TPoint3D{});
    C.SetCount(12);
    EXPECT_EQ(C.Capacity(), 12);
    EXPECT_EQ(C.Get(11), TPoint3D{});
}

TEST(PointChainTest, InsertShiftsAndAcceptsEndOrNegative) {
    TPointChain C;
    C.Insert(0, P(2));
    C.Insert(0, P(1));
    C.Insert(C.Count(), P(4));
    C.Insert(-3, P(5));
    C.Insert(2, P(3));
    ASSERT_EQ(C.Count(), 5);
    for (int32_t I = 0; I < 5; ++I) EXPECT_EQ(C.Get(I), P(I + 1));
    // Insert into a full chain grows it: 1, 5, 9.
    EXPECT_EQ(C.Capacity(), 5);
    C.Insert(1, P(9));
    EXPECT_EQ(C.Capacity(), 9);
    EXPECT_EQ(C.Get(1), P(9));
    EXPECT_EQ(C.Get(5), P(5));

    const auto Before = Snapshot(C);
    EXPECT_EQ(MessageOf([&] { C.Insert(C.Count() + 1, P(0)); }), "PointList.Insert: Bad Index 7");
    EXPECT_EQ(Snapshot(C), Before);
}

TEST(PointChainTest, DeleteKeepsCapacity) {
    TPointChain C;
    for (int32_t I = 0; I < 6; ++I) C.Add(P(I));
    C.Delete(0);
    C.Delete(4);
    C.Delete(1);
    EXPECT_EQ(C.Count(), 3);
    EXPECT_EQ(C.Capacity(), 9);
    EXPECT_EQ(C.Get(0), P(1));
    EXPECT_EQ(C.Get(1), P(3));
    EXPECT_EQ(C.Get(2), P(4));

    const auto Before = Snapshot(C);
    EXPECT_EQ(MessageOf([&] { C.Delete(3); }), "PointList.Delete: Bad Index 3");
    EXPECT_EQ(MessageOf([&] { C.Delete(-1); }), "PointList.Delete: Bad Index -1");
    EXPECT_EQ(Snapshot(C), Before);
}

TEST(PointChainTest, BadSizesAndCountsChangeNothing) {
    TPointChain C;
    for (int32_t I = 0; I < 3; ++I) C.Add(P(I));
    const auto Before = Snapshot(C);
    EXPECT_EQ(MessageOf([&] { C.SetCapacity(C.Count() - 1); }), "PointList.SetCapacity: Bad Size 2");
    EXPECT_EQ(MessageOf([&] { C.SetCapacity(MaxPointListSize + 1); }), "PointList.SetCapacity: Bad Size 134217728");
    EXPECT_EQ(MessageOf([&] { C.SetCount(134217728); }), "PointList.SetCount: Bad Count 134217728");
    EXPECT_EQ(MessageOf([&] { C.SetCount(-1); }), "PointList.SetCount: Bad Count -1");
    EXPECT_EQ(MessageOf([&] { C.SetCountUncleared(-1); }), "PointList.SetCount: Bad Count -1");
    EXPECT_EQ(MessageOf([&] { C.SetCountUncleared(MaxPointListSize + 1); }), "PointList.SetCount: Bad Count 134217728");
    EXPECT_EQ(Snapshot(C), Before);

    C.SetCapacity(3);  // trim to the count
    EXPECT_EQ(C.Capacity(), 3);
    EXPECT_EQ(C.Get(2), P(2));
}

TEST(PointChainTest, ClearReleasesTheArray) {
    TPointChain C;
    for (int32_t I = 0; I < 10; ++I) C.Add(P(I));
    C.Clear();
    EXPECT_EQ(C.Count(), 0);
    EXPECT_EQ(C.Capacity(), 0);
    EXPECT_EQ(C.Points(), nullptr);
    EXPECT_EQ(C.Add(P(1)), 0);
    EXPECT_EQ(C.Capacity(), 1);
}

TEST(Point3DListTest, GrowsByFourUpToEight) {
    TPoint3DList L;
    std::vector<int32_t> Capacities;
    for (int32_t I = 0; I < 95; ++I) {
        const int32_t Before = L.Capacity();
        L.Add(P(I));
        if (L.Capacity() != Before) Capacities.push_back(L.Capacity());
    }
    EXPECT_EQ(Capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95}));
    EXPECT_EQ(L.Count(), 95);
    for (int32_t I = 0; I < 95; ++I) ASSERT_EQ(L.Items()[I], P(I));
}

TEST(Point3DListTest, PresizeFillAndTrim) {
    TPoint3DList L;
    L.SetCapacity(10);
    for (int32_t I = 0; I < 6; ++I) L.Add(P(I));
    EXPECT_EQ(L.Capacity(), 10);
    EXPECT_EQ(MessageOf([&] { L.SetCapacity(5); }), "PointList.SetCapacity: Bad Size 5");
    EXPECT_EQ(MessageOf([&] { L.SetCapacity(-1); }), "PointList.SetCapacity: Bad Size -1");
    L.SetCapacity(L.Count());
    EXPECT_EQ(L.Capacity(), 6);
    EXPECT_EQ(L.Items()[5], P(5));
}

}  // namespace
