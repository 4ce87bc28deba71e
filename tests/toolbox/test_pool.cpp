#include "toolbox/pool.h"

#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zi {
namespace {

std::vector<int> destroyed;

// One class per id, so that every id is a class of its own in the pool.
template <int Id>
class TTracked : public TPoolable {
 public:
  ~TTracked() override { destroyed.push_back(Id); }
};

constexpr int kClasses = 17;

template <int... Ids>
std::array<std::function<std::unique_ptr<TPoolable>()>, sizeof...(Ids)> Factories(std::integer_sequence<int, Ids...>) {
  return {[] { return std::unique_ptr<TPoolable>(std::make_unique<TTracked<Ids>>()); }...};
}

std::unique_ptr<TPoolable> MakeTracked(int id) {
  static const auto factories = Factories(std::make_integer_sequence<int, kClasses>{});
  return factories.at(id)();
}

class Pool : public testing::Test {
 protected:
  void SetUp() override {
    PoolFreeAll();
    destroyed.clear();
  }
  void TearDown() override { PoolFreeAll(); }

  static void GiveEach(std::initializer_list<int> ids) {
    for (const int id : ids) PoolGive(MakeTracked(id));
  }
};

TEST_F(Pool, TakeHandsOverThePooledObjectOnce) {
  EXPECT_EQ(PoolTake<TTracked<0>>(), nullptr);
  auto object = std::make_unique<TTracked<0>>();
  const TTracked<0>* address = object.get();
  PoolGive(std::move(object));
  EXPECT_EQ(PoolTake<TTracked<1>>(), nullptr);
  EXPECT_EQ(PoolTake<TTracked<0>>().get(), address);
  EXPECT_EQ(PoolTake<TTracked<0>>(), nullptr);
}

TEST_F(Pool, SecondObjectOfAPooledClassIsFreed) {
  auto first = std::make_unique<TTracked<3>>();
  const TTracked<3>* address = first.get();
  PoolGive(std::move(first));
  GiveEach({3});
  EXPECT_EQ(destroyed, std::vector<int>{3});
  EXPECT_EQ(PoolTake<TTracked<3>>().get(), address);
}

class TBase : public TPoolable {};
class TDerived : public TBase {};

TEST_F(Pool, ClassIsTheDynamicType) {
  PoolGive(std::unique_ptr<TBase>(std::make_unique<TDerived>()));
  EXPECT_EQ(PoolTake<TBase>(), nullptr);
  EXPECT_NE(PoolTake<TDerived>(), nullptr);
}

TEST_F(Pool, FullPoolEvictsByRoundRobinStartingAtSlotOne) {
  // Slots fill from 7 down, so slot s holds class 7 - s; the index then names 1, 2, ..., 7, 0, 1.
  GiveEach({0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_TRUE(destroyed.empty());
  const std::pair<int, int> givenAndFreed[] = {{8, 6},  {9, 5},  {10, 4}, {11, 3}, {12, 2},
                                               {13, 1}, {14, 0}, {15, 7}, {16, 8}};
  for (const auto& [given, freed] : givenAndFreed) {
    destroyed.clear();
    GiveEach({given});
    EXPECT_EQ(destroyed, std::vector<int>{freed}) << "giving " << given;
  }
}

TEST_F(Pool, GiveUsesTheHighestFreeSlot) {
  GiveEach({0, 1, 2, 3, 4, 5, 6, 7});
  PoolTake<TTracked<5>>();  // frees slot 2
  PoolTake<TTracked<1>>();  // frees slot 6
  GiveEach({8, 9});         // 8 into slot 6, 9 into slot 2
  destroyed.clear();
  GiveEach({10, 11, 12, 13, 14, 15, 16, 1});
  EXPECT_EQ(destroyed, (std::vector<int>{6, 9, 4, 3, 2, 8, 0, 7}));
}

TEST_F(Pool, DropAndFreeAll) {
  GiveEach({0, 1, 2});
  PoolDrop<TTracked<1>>();
  EXPECT_EQ(destroyed, std::vector<int>{1});
  EXPECT_EQ(PoolTake<TTracked<1>>(), nullptr);
  destroyed.clear();
  PoolFreeAll();
  EXPECT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(PoolTake<TTracked<0>>(), nullptr);
  EXPECT_EQ(PoolTake<TTracked<2>>(), nullptr);
}

class TGivesOnDestroy : public TPoolable {
 public:
  ~TGivesOnDestroy() override { PoolGive(MakeTracked(0)); }
};

TEST_F(Pool, DestructorMayGiveBack) {
  PoolGive(std::make_unique<TGivesOnDestroy>());
  PoolGive(std::make_unique<TGivesOnDestroy>());  // freed at once, and its destructor gives
  EXPECT_NE(PoolTake<TTracked<0>>(), nullptr);
}

std::atomic<int> liveCounted{0};

template <int Id>
class TCounted : public TPoolable {
 public:
  TCounted() { ++liveCounted; }
  ~TCounted() override { --liveCounted; }
};

TEST_F(Pool, TwoThreadsNeitherLeakNorDoubleFree) {
  const auto work = [] {
    for (int i = 0; i < 70000; ++i) {
      PoolGive(std::make_unique<TCounted<0>>());
      PoolGive(std::make_unique<TCounted<1>>());
      PoolTake<TCounted<0>>();
    }
  };
  std::thread other(work);
  work();
  other.join();
  PoolFreeAll();
  EXPECT_EQ(liveCounted.load(), 0);
}

}  // namespace
}  // namespace zi
