#include "archive_internal.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

using ZBK::Internal::NameIndex;

// The index against a plain map over long random runs of insertions and
// erasures: every name the map holds is found with its value, every other
// name is not, whatever erased slots the table has gathered on the way.
TEST(NameIndex, AgreesWithAMapThroughInsertionsAndErasures)
{
	struct Case
	{
		const char	*what;
		int		 names;		// distinct names to draw from
		int		 steps;
		int		 erasePercent;
		size_t		 reserve;
	};

	const Case cases[] = {
		{ "few names, much churn", 40, 20000, 50, 0 },
		{ "growing, rarely erased", 30000, 60000, 10, 0 },
		{ "erased as often as added", 5000, 80000, 50, 0 },
		{ "reserved up front", 20000, 40000, 20, 20000 },
		{ "reserved too small", 20000, 40000, 20, 10 },
	};

	for (const Case &c : cases)
	{
		SCOPED_TRACE(c.what);

		std::mt19937			 random(1234);
		std::vector<std::string>	 pool;

		for (int i = 0; i < c.names; i++) pool.push_back("dir" + std::to_string(i % 97) + "/file_" + std::to_string(i) + ".txt");

		NameIndex			 index;
		std::map<std::string, int64_t>	 model;
		std::map<int64_t, std::string>	 nameOfValue;
		int64_t				 nextValue = 0;
		auto				 nameOf = [&](int64_t value) -> std::string_view { return nameOfValue.at(value); };

		if (c.reserve > 0) index.Reserve(c.reserve);

		for (int step = 0; step < c.steps; step++)
		{
			const std::string &name = pool[random() % pool.size()];
			auto		   held = model.find(name);

			if (held != model.end() && int(random() % 100) < c.erasePercent)
			{
				index.Erase(name, held->second);
				nameOfValue.erase(held->second);
				model.erase(held);
			}
			else if (held == model.end())
			{
				index.Insert(name, nextValue);
				nameOfValue[nextValue] = name;
				model[name] = nextValue++;
			}

			// Spot checks on the way, a full check at the end.
			const std::string &probe = pool[random() % pool.size()];
			auto		   expected = model.find(probe);

			ASSERT_EQ(index.Find(probe, nameOf), expected == model.end() ? -1 : expected->second) << probe << " at step " << step;
		}

		for (const std::string &name : pool)
		{
			auto expected = model.find(name);

			ASSERT_EQ(index.Find(name, nameOf), expected == model.end() ? -1 : expected->second) << name;
		}

		EXPECT_EQ(index.Find("not/in/the/pool", nameOf), -1);
	}
}

// Two values under one name (the archive keeps the first record of a
// repeated name, but the index itself must not confuse them): erasing one
// value leaves the other findable, and erasing a value it never held
// changes nothing.
TEST(NameIndex, ErasesOnlyTheValueItIsGiven)
{
	std::map<int64_t, std::string>	 names = { { 0, "a" }, { 1, "b" }, { 2, "a" } };
	auto				 nameOf = [&](int64_t value) -> std::string_view { return names.at(value); };
	NameIndex			 index;

	for (const auto &entry : names) index.Insert(entry.second, entry.first);

	EXPECT_EQ(index.Find("a", nameOf), 0);

	index.Erase("a", 7);
	EXPECT_EQ(index.Find("a", nameOf), 0);

	index.Erase("a", 0);
	EXPECT_EQ(index.Find("a", nameOf), 2);
	EXPECT_EQ(index.Find("b", nameOf), 1);

	index.Erase("a", 2);
	EXPECT_EQ(index.Find("a", nameOf), -1);
	EXPECT_EQ(index.Find("", nameOf), -1);
}
