// The publisher's queue file on its own: the bound that pushes out the
// oldest, what a second start finds, and two programs never sharing one
// file. Sending it to a broker is test_mqtt_run's and test_mqtt_ctl's.
#include "publish/store.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

std::vector<QueuedMessage> Messages(int from, int count) {
    std::vector<QueuedMessage> out;
    for (int i = from; i < from + count; ++i)
        out.push_back({0, "plant/live", std::string(95, 'x') + std::to_string(1000 + i), false}); // 109 bytes
    return out;
}

std::vector<std::string> Tails(const std::vector<QueuedMessage> &messages) {
    std::vector<std::string> out;
    for (const QueuedMessage &m : messages) out.push_back(m.payload.substr(95));
    return out;
}

TEST(MqttStoreTest, AFullQueuePushesOutTheOldestAndASecondStartFindsTheRestInOrder) {
    QTemporaryDir dir;
    const std::string folder = dir.filePath("queue").toStdString();
    std::string problem;
    {
        MqttStore store;
        ASSERT_TRUE(store.open(folder, "q", 1000, &problem)) << problem;
        EXPECT_EQ(store.append(Messages(0, 5)), 0u);
        EXPECT_EQ(store.append(Messages(5, 6)), 2u) << "11 messages of 109 bytes in 1000: the first two go";
        EXPECT_EQ(store.count(), 9u);
        const auto kept = store.after(0, 100);
        ASSERT_EQ(kept.size(), 9u);
        EXPECT_EQ(kept.front().payload.substr(95), "1002");
        // Confirmed out of order: a refused one among accepted ones.
        store.remove({kept[0].id, kept[2].id});
        EXPECT_EQ(store.count(), 7u);
    }
    MqttStore again;
    ASSERT_TRUE(again.open(folder, "q", 1000, &problem)) << problem;
    EXPECT_EQ(Tails(again.after(0, 100)),
              (std::vector<std::string>{"1003", "1005", "1006", "1007", "1008", "1009", "1010"}));
    again.append(Messages(11, 1));
    EXPECT_EQ(again.after(0, 100).back().payload.substr(95), "1011") << "a new message goes after the old ones";
}

TEST(MqttStoreTest, ASecondProgramTakesAFileOfItsOwnAndWithoutAFolderTheQueueIsInMemory) {
    QTemporaryDir dir;
    const std::string folder = dir.filePath("queue").toStdString();
    std::string problem;
    MqttStore first, second;
    ASSERT_TRUE(first.open(folder, "q", 100000, &problem)) << problem;
    ASSERT_TRUE(second.open(folder, "q", 100000, &problem)) << problem;
    EXPECT_NE(first.path(), second.path());
    first.append(Messages(0, 3));
    EXPECT_EQ(second.count(), 0u);

    MqttStore memory;
    EXPECT_FALSE(memory.open("", "q", 300, &problem));
    EXPECT_FALSE(memory.onDisk());
    EXPECT_EQ(memory.append(Messages(0, 4)), 2u) << "the same bound in memory";
    EXPECT_EQ(Tails(memory.after(0, 10)), (std::vector<std::string>{"1002", "1003"}));
}

} // namespace
