#define A 1
#define B (A + 2) * 3
#define C ZOR_FOUR_BYTE('a', 'b', 'c', 'd')
#define EMPTY
// comment
/* block
 * more */
enum Kind { K0, K1 = 5, K2, K3 = B, K4 = ZOR_FOUR_BYTE('x','y','z','w'), K5 = f(1, 2) };
enum { dup = 1, dup = 2 };
#define B 4
#define STR "text"
