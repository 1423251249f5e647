// Shared texts: copies share one buffer, a pool in scope gives equal texts
// one buffer, and the last copy out frees it (the sanitizer build checks that).

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "batchplant/foundation/SharedText.h"

using namespace batchplant;

TEST(SharedText, HoldsItsBytesAndSharesThemWithCopies)
{
    const std::string withNul("a\0b", 3);
    for (const std::string& text : {std::string(), std::string("Water"), withNul}) {
        SharedText t(text);
        EXPECT_EQ(t.view(), text);
        EXPECT_EQ(t.empty(), text.empty());
        SharedText copy = t;
        EXPECT_TRUE(copy.SharesWith(t));
        SharedText moved = std::move(copy);
        EXPECT_EQ(moved.view(), text);
        EXPECT_TRUE(copy.empty());
        t = SharedText("other");
        EXPECT_EQ(moved.view(), text) << "a copy outlives reassignment of the original";
    }
}

TEST(TextPool, EqualTextsShareOnlyWhileAScopeIsOpen)
{
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(TextPool::Share("Water")));
    SharedText kept;
    {
        const TextPool::Scope outer;
        kept = TextPool::Share("Water");
        {
            const TextPool::Scope inner; // the outer pool serves the inner scope
            EXPECT_TRUE(TextPool::Share("Water").SharesWith(kept));
        }
        EXPECT_TRUE(TextPool::Share("Water").SharesWith(kept)) << "closing the inner scope keeps the outer pool";
        EXPECT_FALSE(TextPool::Share("Steam").SharesWith(kept));
        EXPECT_TRUE(TextPool::Share("").empty());
    }
    EXPECT_EQ(kept.view(), "Water") << "a text outlives the pool that made it";
    EXPECT_FALSE(TextPool::Share("Water").SharesWith(kept));
}

TEST(SharedText, CopiesMadeAndDroppedOnManyThreadsFreeTheBufferOnce)
{
    const SharedText text("Ethanol");
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&text] {
            for (int k = 0; k < 10000; ++k) {
                const SharedText copy = text;
                ASSERT_EQ(copy.view(), "Ethanol");
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(text.view(), "Ethanol");
}
