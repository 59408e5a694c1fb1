// module records: see issue work
