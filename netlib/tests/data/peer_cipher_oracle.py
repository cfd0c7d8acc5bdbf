#!/usr/bin/python3
# Second implementation of the peer packet cipher, from its rules alone, that gave the expected
# values of peer_cipher_test.cpp. Its DES tables are checked against the standard DES vectors
# (key 133457799BBCDFF1, 0123456789ABCDEF -> 85E813540F0AB405) by stddes_check().

IP = [58,50,42,34,26,18,10,2,60,52,44,36,28,20,12,4,62,54,46,38,30,22,14,6,64,56,48,40,32,24,16,8,
      57,49,41,33,25,17,9,1,59,51,43,35,27,19,11,3,61,53,45,37,29,21,13,5,63,55,47,39,31,23,15,7]
FP = [40,8,48,16,56,24,64,32,39,7,47,15,55,23,63,31,38,6,46,14,54,22,62,30,37,5,45,13,53,21,61,29,
      36,4,44,12,52,20,60,28,35,3,43,11,51,19,59,27,34,2,42,10,50,18,58,26,33,1,41,9,49,17,57,25]
E = [32,1,2,3,4,5,4,5,6,7,8,9,8,9,10,11,12,13,12,13,14,15,16,17,16,17,18,19,20,21,20,21,22,23,24,25,
     24,25,26,27,28,29,28,29,30,31,32,1]
P = [16,7,20,21,29,12,28,17,1,15,23,26,5,18,31,10,2,8,24,14,32,27,3,9,19,13,30,6,22,11,4,25]
PC1 = [57,49,41,33,25,17,9,1,58,50,42,34,26,18,10,2,59,51,43,35,27,19,11,3,60,52,44,36,
       63,55,47,39,31,23,15,7,62,54,46,38,30,22,14,6,61,53,45,37,29,21,13,5,28,20,12,4]
PC2 = [14,17,11,24,1,5,3,28,15,6,21,10,23,19,12,4,26,8,16,7,27,20,13,2,
       41,52,31,37,47,55,30,40,51,45,33,48,44,49,39,56,34,53,46,42,50,36,29,32]
SHIFTS = [1,1,2,2,2,2,2,2,1,2,2,2,2,2,2,1]
S = [
 [[14,4,13,1,2,15,11,8,3,10,6,12,5,9,0,7],[0,15,7,4,14,2,13,1,10,6,12,11,9,5,3,8],
  [4,1,14,8,13,6,2,11,15,12,9,7,3,10,5,0],[15,12,8,2,4,9,1,7,5,11,3,14,10,0,6,13]],
 [[15,1,8,14,6,11,3,4,9,7,2,13,12,0,5,10],[3,13,4,7,15,2,8,14,12,0,1,10,6,9,11,5],
  [0,14,7,11,10,4,13,1,5,8,12,6,9,3,2,15],[13,8,10,1,3,15,4,2,11,6,7,12,0,5,14,9]],
 [[10,0,9,14,6,3,15,5,1,13,12,7,11,4,2,8],[13,7,0,9,3,4,6,10,2,8,5,14,12,11,15,1],
  [13,6,4,9,8,15,3,0,11,1,2,12,5,10,14,7],[1,10,13,0,6,9,8,7,4,15,14,3,11,5,2,12]],
 [[7,13,14,3,0,6,9,10,1,2,8,5,11,12,4,15],[13,8,11,5,6,15,0,3,4,7,2,12,1,10,14,9],
  [10,6,9,0,12,11,7,13,15,1,3,14,5,2,8,4],[3,15,0,6,10,1,13,8,9,4,5,11,12,7,2,14]],
 [[2,12,4,1,7,10,11,6,8,5,3,15,13,0,14,9],[14,11,2,12,4,7,13,1,5,0,15,10,3,9,8,6],
  [4,2,1,11,10,13,7,8,15,9,12,5,6,3,0,14],[11,8,12,7,1,14,2,13,6,15,0,9,10,4,5,3]],
 [[12,1,10,15,9,2,6,8,0,13,3,4,14,7,5,11],[10,15,4,2,7,12,9,5,6,1,13,14,0,11,3,8],
  [9,14,15,5,2,8,12,3,7,0,4,10,1,13,11,6],[4,3,2,12,9,5,15,10,11,14,1,7,6,0,8,13]],
 [[4,11,2,14,15,0,8,13,3,12,9,7,5,10,6,1],[13,0,11,7,4,9,1,10,14,3,5,12,2,15,8,6],
  [1,4,11,13,12,3,7,14,10,15,6,8,0,5,9,2],[6,11,13,8,1,4,10,7,9,5,0,15,14,2,3,12]],
 [[13,2,8,4,6,15,11,1,10,9,3,14,5,0,12,7],[1,15,13,8,10,3,7,4,12,5,6,11,0,14,9,2],
  [7,11,4,1,9,12,14,2,0,6,10,13,15,3,5,8],[2,1,14,7,4,10,8,13,15,12,9,0,3,5,6,11]]]

def bits(v,n): return [(v>>(n-1-i))&1 for i in range(n)]
def perm(b,t): return [b[i-1] for i in t]
def toint(b):
    v=0
    for x in b: v=v*2+x
    return v
def des(key,pt):
    k=perm(bits(key,64),PC1); C=k[:28]; D=k[28:]
    ks=[]
    for s in SHIFTS:
        C=C[s:]+C[:s]; D=D[s:]+D[:s]; ks.append(perm(C+D,PC2))
    b=perm(bits(pt,64),IP); L=b[:32]; R=b[32:]
    for K in ks:
        x=[a^c for a,c in zip(perm(R,E),K)]
        out=[]
        for i in range(8):
            g=x[6*i:6*i+6]; row=g[0]*2+g[5]; col=toint(g[1:5])
            out+=bits(S[i][row][col],4)
        L,R=R,[a^c for a,c in zip(L,perm(out,P))]
    return toint(perm(R+L,FP))
def stddes_check():
    assert des(0x133457799BBCDFF1, 0x0123456789ABCDEF) == 0x85E813540F0AB405

def bit(bs, n):  # bit n (1-based) of a byte string: LSB first
    return (bs[(n-1)//8] >> ((n-1)%8)) & 1
def setbits(values):  # list of bits (bit1 first) -> bytes
    out = bytearray((len(values)+7)//8)
    for i,v in enumerate(values):
        if v: out[i//8] |= 1 << (i%8)
    return bytes(out)
def table():
    t = bytearray()
    for col in range(16):
        for row in range(4):
            t.append(S[0][row][col])
    t[3] = 5
    boxes = []
    for b in range(1,8):
        nums = []
        for col in range(16):
            for row in range(4):
                nums.append(str(S[b][row][col]))
        boxes.append(",".join(nums))
    text = ">".join(boxes)
    t += text[:448].encode()
    assert len(t) == 512
    return bytes(t)
TABLE = table()
def keytext(k):
    f = (k + " "*24)[:24]
    if f.strip(" ") != "":
        while len(f.rstrip(" ")) <= 23:
            t = f.rstrip(" ")
            f = ((t+t) + " "*24)[:24]
    return f
def roundkeys(k):
    f = keytext(k).encode("latin-1")
    ks = []
    groups = [(0,range(1,6)),(8,range(6,11)),(16,range(11,17))]
    for off, rounds in groups:
        seg = f[off:off+8]
        C = D = 0
        for i in range(1,29):
            C = 2*C + bit(seg, IP[i-1])
            D = 2*D + bit(seg, IP[28+i-1])
        for r in rounds:
            for _ in range(SHIFTS[r-1]):
                C = C//2 + (C%2)*2**27
                D = D//2 + (D%2)*2**27
            packed = (C + (D%8)*2**28).to_bytes(4,"little") + (D//16).to_bytes(4,"little")
            ks.append(setbits([bit(packed, PC2[i-1]) for i in range(1,49)]))
    return ks
def f(R, K):
    X = setbits([bit(R, E[i-1]) for i in range(1,49)])
    X = bytes(a^b for a,b in zip(X,K))
    xb = lambda a,b: sum(bit(X,n) << (n-a) for n in range(a,b+1))
    xs = [xb(1,6), xb(7,12), xb(13,18), xb(19,24), bit(X,31)+2*bit(X,32), bit(X,37)+2*bit(X,38), bit(X,43)+2*bit(X,44), 0]
    y = [TABLE[b*64 + ((x//2)%16)*4 + ((x//32)%2)*2 + (x%2)] for b,x in enumerate(xs)]
    four = bytes([(16*y[1]+y[0])%256, (16*y[3]+y[2])%256, (16*y[5]+y[4])%256, (16*y[7]+y[6])%256])
    return setbits([bit(four, P[i-1]) for i in range(1,33)])
def block(b, ks):
    L, R = b[:4], b[4:]
    for K in ks:
        L, R = R, bytes(a^c for a,c in zip(L, f(R,K)))
    return R + L
def run(data, key, enc):
    data = bytearray(data); n = len(data)
    if n < 8: return bytes(data)
    ks = roundkeys(key)
    if not enc: ks = ks[::-1]
    starts = list(range(1, n-7+1, 8))
    order = starts + [n-7] if enc else [n-7] + starts
    for s in order:
        data[s-1:s+7] = block(bytes(data[s-1:s+7]), ks)
    return bytes(data)
if __name__ == "__main__":
    stddes_check()
    print("table[0:8]", list(TABLE[:8]), "table[64:80]", TABLE[64:80])
    print("keytext abcde", repr(keytext("abcde")))
    for key, plain in [("abcde", b"ABCDEFGH"), ("", b"\0"*8), ("0123456789ABCDEFGHIJKLMN", b"Hello, peers!"),
                       ("                        ", b"twelve bytes"), ("k", bytes(range(32)))]:
        c = run(plain, key, True)
        assert run(c, key, False) == plain
        print(repr(key), plain.hex(), "->", c.hex())
    print("K1 abcde", roundkeys("abcde")[0].hex(), "K16", roundkeys("abcde")[15].hex())
